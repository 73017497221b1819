#!/usr/bin/env python3
"""Writes the demo directory: two tree descriptions that share a realistic base schema and
differ in every way Kalvix reports, and the client configuration that reaches them.

Run from anywhere: python3 data/demo/make-demo-trees.py  (writes beside this script)."""

import copy
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Syntax ids.
(UNKNOWN, DIST_NAME, CE_STRING, CI_STRING, PR_STRING, NU_STRING, CI_LIST, BOOLEAN, INTEGER,
 OCTET_STRING, TEL_NUMBER, FAX_NUMBER, NET_ADDRESS, OCTET_LIST, EMAIL_ADDRESS, PATH,
 REPLICA_POINTER, OBJECT_ACL, PO_ADDRESS, TIMESTAMP, CLASS_NAME, STREAM, COUNTER, BACK_LINK,
 TIME, TYPED_NAME, HOLD, INTERVAL) = range(28)
SYNTAX_COUNT = 37

# Attribute flags.
SGL, SIZED, NONREM, RDONLY, HIDDEN, STRING, SYNCIMDT, PUBLRD, SRVRRD, WRTMNGD, PERREP, SYNCNEVER = (
    0x001, 0x002, 0x004, 0x008, 0x010, 0x020, 0x040, 0x080, 0x100, 0x200, 0x400, 0x800)
# Class flags.
CONTAINER, EFFECTIVE, NONREMOVABLE, AMB_NAMING, AMB_CONTAINMENT, AUXILIARY, OPERATIONAL = (
    0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40)

X500_ATTR = "2.5.4."
X500_CLASS = "2.5.6."
DIR_ATTR = "2.16.840.1.113719.1.1.4.1."
DIR_CLASS = "2.16.840.1.113719.1.1.6.1."
ACME_ARC = "1.3.6.1.4.1.55011.1."
GLOBEX_ARC = "1.3.6.1.4.1.55012.7."


def attr(name, syntax, flags=0, lower=0, upper=0, oid=None):
    a = {"name": name, "flags": "0x%04X" % flags, "syntax": syntax}
    if flags & SIZED:
        a["lower"] = lower
        a["upper"] = upper
    if oid:
        a["oid"] = oid
    return a


# ---- Attributes every tree has, the well-known ones written out by hand.

BASE_ATTRS = [
    attr("Object Class", CLASS_NAME, NONREM | SYNCIMDT | PUBLRD | RDONLY, oid=X500_ATTR + "0"),
    attr("Aliased Object Name", DIST_NAME, SGL | NONREM, oid=X500_ATTR + "1"),
    attr("Knowledge Information", CI_STRING, NONREM | STRING, oid=X500_ATTR + "2"),
    attr("CN", CI_STRING, NONREM | SIZED | STRING | PUBLRD, 1, 64, X500_ATTR + "3"),
    attr("Surname", CI_STRING, NONREM | SIZED | STRING | PUBLRD, 1, 64, X500_ATTR + "4"),
    attr("Serial Number", PR_STRING, NONREM | SIZED | STRING, 1, 64, X500_ATTR + "5"),
    attr("C", PR_STRING, SGL | NONREM | SIZED | STRING, 2, 2, X500_ATTR + "6"),
    attr("L", CI_STRING, NONREM | SIZED | STRING, 1, 128, X500_ATTR + "7"),
    attr("S", CI_STRING, NONREM | SIZED | STRING, 1, 128, X500_ATTR + "8"),
    attr("SA", CI_STRING, NONREM | SIZED | STRING, 1, 128, X500_ATTR + "9"),
    attr("O", CI_STRING, NONREM | SIZED | STRING, 1, 64, X500_ATTR + "10"),
    attr("OU", CI_STRING, NONREM | SIZED | STRING, 1, 64, X500_ATTR + "11"),
    attr("Title", CI_STRING, NONREM | SIZED | STRING, 1, 64, X500_ATTR + "12"),
    attr("Description", CI_STRING, NONREM | SIZED | STRING, 1, 1024, X500_ATTR + "13"),
    attr("Search Guide", OCTET_STRING, NONREM, oid=X500_ATTR + "14"),
    attr("Business Category", CI_STRING, NONREM | SIZED | STRING, 1, 128, X500_ATTR + "15"),
    attr("Postal Address", PO_ADDRESS, NONREM, oid=X500_ATTR + "16"),
    attr("Postal Code", CI_STRING, NONREM | SIZED | STRING, 0, 40, X500_ATTR + "17"),
    attr("Postal Office Box", CI_STRING, NONREM | SIZED | STRING, 0, 40, X500_ATTR + "18"),
    attr("Physical Delivery Office Name", CI_STRING, NONREM | SIZED | STRING, 1, 128,
         X500_ATTR + "19"),
    attr("Telephone Number", TEL_NUMBER, NONREM | STRING, oid=X500_ATTR + "20"),
    attr("Telex Number", OCTET_STRING, NONREM, oid=X500_ATTR + "21"),
    attr("Teletex Terminal Identifier", OCTET_STRING, NONREM, oid=X500_ATTR + "22"),
    attr("Facsimile Telephone Number", FAX_NUMBER, NONREM, oid=X500_ATTR + "23"),
    attr("X121 Address", NU_STRING, NONREM | SIZED | STRING, 1, 15, X500_ATTR + "24"),
    attr("International ISDN Number", NU_STRING, NONREM | SIZED | STRING, 1, 16,
         X500_ATTR + "25"),
    attr("Registered Address", PO_ADDRESS, NONREM, oid=X500_ATTR + "26"),
    attr("Destination Indicator", PR_STRING, NONREM | SIZED | STRING, 1, 128,
         X500_ATTR + "27"),
    attr("Preferred Delivery Method", INTEGER, SGL | NONREM, oid=X500_ATTR + "28"),
    attr("Presentation Address", OCTET_STRING, SGL | NONREM, oid=X500_ATTR + "29"),
    attr("Supported Application Context", OCTET_STRING, NONREM, oid=X500_ATTR + "30"),
    attr("Member", DIST_NAME, NONREM, oid=X500_ATTR + "31"),
    attr("Owner", DIST_NAME, NONREM, oid=X500_ATTR + "32"),
    attr("Role Occupant", DIST_NAME, NONREM, oid=X500_ATTR + "33"),
    attr("See Also", DIST_NAME, NONREM, oid=X500_ATTR + "34"),
    attr("User Password", OCTET_STRING, NONREM | HIDDEN | SRVRRD, oid=X500_ATTR + "35"),
    attr("User Certificate", OCTET_STRING, NONREM | PUBLRD, oid=X500_ATTR + "36"),
    attr("CA Certificate", OCTET_STRING, NONREM | PUBLRD, oid=X500_ATTR + "37"),
    attr("Authority Revocation", OCTET_STRING, SGL | NONREM | PUBLRD, oid=X500_ATTR + "38"),
    attr("Certificate Revocation", OCTET_STRING, SGL | NONREM | PUBLRD, oid=X500_ATTR + "39"),
    attr("Cross Certificate Pair", OCTET_STRING, NONREM | PUBLRD, oid=X500_ATTR + "40"),
    attr("Given Name", CI_STRING, NONREM | SIZED | STRING | PUBLRD, 1, 32, X500_ATTR + "42"),
    attr("Initials", CI_STRING, NONREM | SIZED | STRING, 1, 8, X500_ATTR + "43"),
    attr("Generational Qualifier", CI_STRING, SGL | NONREM | SIZED | STRING, 1, 8,
         X500_ATTR + "44"),
    attr("Unique ID", OCTET_STRING, NONREM, oid=X500_ATTR + "45"),
    attr("DN Qualifier", PR_STRING, NONREM | STRING, oid=X500_ATTR + "46"),
    attr("Enhanced Search Guide", OCTET_STRING, NONREM, oid=X500_ATTR + "47"),
    attr("Protocol Information", OCTET_STRING, NONREM, oid=X500_ATTR + "48"),
    attr("Unique Member", DIST_NAME, NONREM, oid=X500_ATTR + "50"),
    attr("House Identifier", CI_STRING, NONREM | SIZED | STRING, 1, 32768, X500_ATTR + "51"),
    attr("Supported Algorithms", OCTET_STRING, NONREM, oid=X500_ATTR + "52"),
    attr("Delta Revocation List", OCTET_STRING, NONREM, oid=X500_ATTR + "53"),
    attr("DMD Name", CI_STRING, NONREM | STRING, oid=X500_ATTR + "54"),
    # The directory's own.
    attr("ACL", OBJECT_ACL, NONREM | SYNCIMDT | SRVRRD, oid=DIR_ATTR + "1"),
    attr("Back Link", BACK_LINK, NONREM | RDONLY | SRVRRD, oid=DIR_ATTR + "2"),
    attr("Revision", COUNTER, SGL | NONREM | RDONLY | HIDDEN | SRVRRD, oid=DIR_ATTR + "3"),
    attr("Replica", REPLICA_POINTER, NONREM | SRVRRD, oid=DIR_ATTR + "4"),
    attr("Obituary", TIMESTAMP, NONREM | RDONLY | HIDDEN | SRVRRD, oid=DIR_ATTR + "5"),
    attr("Received Up To", TIMESTAMP, NONREM | RDONLY | HIDDEN | SYNCNEVER, oid=DIR_ATTR + "6"),
    attr("Synchronized Up To", TIMESTAMP, NONREM | RDONLY | SYNCNEVER, oid=DIR_ATTR + "7"),
    attr("Partition Creation Time", TIMESTAMP, SGL | NONREM | RDONLY, oid=DIR_ATTR + "8"),
    attr("Partition Control", TYPED_NAME, NONREM | RDONLY | SRVRRD, oid=DIR_ATTR + "9"),
    attr("Partition Status", OCTET_STRING, NONREM | RDONLY, oid=DIR_ATTR + "10"),
    attr("Inherited ACL", OBJECT_ACL, NONREM | RDONLY | SRVRRD | SYNCIMDT, oid=DIR_ATTR + "11"),
    attr("Equivalent To Me", DIST_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "12"),
    attr("Security Equals", DIST_NAME, NONREM | WRTMNGD | SRVRRD, oid=DIR_ATTR + "13"),
    attr("Group Membership", DIST_NAME, NONREM | WRTMNGD, oid=DIR_ATTR + "14"),
    attr("Login Time", TIME, SGL | NONREM | SYNCIMDT | PERREP, oid=DIR_ATTR + "15"),
    attr("Last Login Time", TIME, SGL | NONREM | RDONLY | PERREP, oid=DIR_ATTR + "16"),
    attr("Last Referenced Time", TIME, SGL | NONREM | RDONLY | SYNCNEVER, oid=DIR_ATTR + "17"),
    attr("Login Script", STREAM, SGL | NONREM, oid=DIR_ATTR + "18"),
    attr("Print Job Configuration", STREAM, SGL | NONREM, oid=DIR_ATTR + "19"),
    attr("Network Address", NET_ADDRESS, NONREM | RDONLY | PUBLRD, oid=DIR_ATTR + "20"),
    attr("Network Address Restriction", NET_ADDRESS, NONREM, oid=DIR_ATTR + "21"),
    attr("Language", CI_LIST, SGL | NONREM, oid=DIR_ATTR + "22"),
    attr("Home Directory", PATH, SGL | NONREM | SIZED, 1, 255, DIR_ATTR + "23"),
    attr("Email Address", EMAIL_ADDRESS, NONREM | PUBLRD, oid=DIR_ATTR + "24"),
    attr("Full Name", CI_STRING, NONREM | SIZED | STRING | PUBLRD, 0, 127, DIR_ATTR + "25"),
    attr("Account Balance", COUNTER, SGL | NONREM, oid=DIR_ATTR + "26"),
    attr("Allow Unlimited Credit", BOOLEAN, SGL | NONREM, oid=DIR_ATTR + "27"),
    attr("Minimum Account Balance", INTEGER, SGL | NONREM, oid=DIR_ATTR + "28"),
    attr("Server Holds", HOLD, NONREM, oid=DIR_ATTR + "29"),
    attr("Low Convergence Reset Time", TIME, SGL | NONREM, oid=DIR_ATTR + "30"),
    attr("Low Convergence Sync Interval", INTERVAL, SGL | NONREM, oid=DIR_ATTR + "31"),
    attr("High Convergence Sync Interval", INTERVAL, SGL | NONREM, oid=DIR_ATTR + "32"),
    attr("Synchronization Tolerance", OCTET_STRING, NONREM, oid=DIR_ATTR + "33"),
    attr("Convergence", INTEGER, SGL | NONREM | SIZED, 0, 1, DIR_ATTR + "34"),
    attr("Password Allow Change", BOOLEAN, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "35"),
    attr("Password Expiration Interval", INTERVAL, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "36"),
    attr("Password Expiration Time", TIME, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "37"),
    attr("Password Minimum Length", INTEGER, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "38"),
    attr("Password Required", BOOLEAN, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "39"),
    attr("Password Unique Required", BOOLEAN, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "40"),
    attr("Passwords Used", OCTET_STRING, NONREM | HIDDEN | SRVRRD | SYNCIMDT, oid=DIR_ATTR + "41"),
    attr("Private Key", OCTET_STRING, SGL | NONREM | HIDDEN | SRVRRD | SYNCIMDT,
         oid=DIR_ATTR + "42"),
    attr("Public Key", OCTET_STRING, SGL | NONREM | PUBLRD, oid=DIR_ATTR + "43"),
    attr("Login Disabled", BOOLEAN, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "44"),
    attr("Login Expiration Time", TIME, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "45"),
    attr("Login Grace Limit", INTEGER, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "46"),
    attr("Login Grace Remaining", COUNTER, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "47"),
    attr("Login Intruder Address", NET_ADDRESS, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "48"),
    attr("Login Intruder Attempts", COUNTER, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "49"),
    attr("Login Intruder Limit", INTEGER, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "50"),
    attr("Login Intruder Reset Time", TIME, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "51"),
    attr("Login Maximum Simultaneous", INTEGER, SGL | NONREM, oid=DIR_ATTR + "52"),
    attr("Login Allowed Time Map", OCTET_STRING, SGL | NONREM | SIZED, 42, 42, DIR_ATTR + "53"),
    attr("Locked By Intruder", BOOLEAN, SGL | NONREM | SYNCIMDT, oid=DIR_ATTR + "54"),
    attr("Detect Intruder", BOOLEAN, SGL | NONREM, oid=DIR_ATTR + "55"),
    attr("Lockout After Detection", BOOLEAN, SGL | NONREM, oid=DIR_ATTR + "56"),
    attr("Intruder Attempt Reset Interval", INTERVAL, SGL | NONREM, oid=DIR_ATTR + "57"),
    attr("Intruder Lockout Reset Interval", INTERVAL, SGL | NONREM, oid=DIR_ATTR + "58"),
    attr("Security Flags", INTEGER, SGL | NONREM, oid=DIR_ATTR + "59"),
    attr("Higher Privileges", DIST_NAME, NONREM, oid=DIR_ATTR + "60"),
    attr("Profile", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "61"),
    attr("Profile Membership", DIST_NAME, NONREM | WRTMNGD, oid=DIR_ATTR + "62"),
    attr("Mailbox ID", CE_STRING, SGL | NONREM | SIZED | STRING, 1, 8, DIR_ATTR + "63"),
    attr("Mailbox Location", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "64"),
    attr("Message Server", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "65"),
    attr("Messaging Server", DIST_NAME, NONREM, oid=DIR_ATTR + "66"),
    attr("Messaging Server Type", CI_STRING, SGL | NONREM | SIZED | STRING, 1, 32,
         DIR_ATTR + "67"),
    attr("Messaging Database Location", PATH, SGL | NONREM, oid=DIR_ATTR + "68"),
    attr("Postmaster", DIST_NAME, NONREM, oid=DIR_ATTR + "69"),
    attr("Supported Gateway", CI_STRING, NONREM | SIZED | STRING, 1, 4096, DIR_ATTR + "70"),
    attr("Supported Services", CI_STRING, NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "71"),
    attr("Supported Connections", INTEGER, SGL | NONREM, oid=DIR_ATTR + "72"),
    attr("Supported Typefaces", CI_STRING, NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "73"),
    attr("Page Description Language", PR_STRING, NONREM | SIZED | STRING, 1, 64,
         DIR_ATTR + "74"),
    attr("Printer Configuration", OCTET_STRING, SGL | NONREM, oid=DIR_ATTR + "75"),
    attr("Printer Control", OCTET_STRING, SGL | NONREM, oid=DIR_ATTR + "76"),
    attr("Cartridge", CI_STRING, NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "77"),
    attr("Memory", INTEGER, SGL | NONREM, oid=DIR_ATTR + "78"),
    attr("Notify", TYPED_NAME, NONREM, oid=DIR_ATTR + "79"),
    attr("Operator", DIST_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "80"),
    attr("Default Queue", DIST_NAME, SGL | NONREM | SRVRRD, oid=DIR_ATTR + "81"),
    attr("Queue", DIST_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "82"),
    attr("Queue Directory", CI_STRING, SGL | NONREM | SIZED | STRING | SRVRRD, 1, 255,
         DIR_ATTR + "83"),
    attr("Print Server", TYPED_NAME, SGL | NONREM | SRVRRD, oid=DIR_ATTR + "84"),
    attr("Printer", TYPED_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "85"),
    attr("Host Server", DIST_NAME, SGL | NONREM | SRVRRD, oid=DIR_ATTR + "86"),
    attr("Host Device", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "87"),
    attr("Host Resource Name", CI_STRING, SGL | NONREM | STRING, oid=DIR_ATTR + "88"),
    attr("Resource", DIST_NAME, NONREM, oid=DIR_ATTR + "89"),
    attr("Server", DIST_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "90"),
    attr("Volume", DIST_NAME, NONREM | SRVRRD, oid=DIR_ATTR + "91"),
    attr("Volume Space Restrictions", OCTET_STRING, NONREM, oid=DIR_ATTR + "92"),
    attr("Path", PATH, NONREM, oid=DIR_ATTR + "93"),
    attr("Device", DIST_NAME, NONREM, oid=DIR_ATTR + "94"),
    attr("Status", INTEGER, SGL | NONREM | PUBLRD, oid=DIR_ATTR + "95"),
    attr("Version", CI_STRING, SGL | NONREM | SIZED | STRING | PUBLRD, 1, 64, DIR_ATTR + "96"),
    attr("Used By", OCTET_STRING, NONREM | SRVRRD, oid=DIR_ATTR + "97"),
    attr("Reference", DIST_NAME, NONREM | RDONLY | HIDDEN, oid=DIR_ATTR + "98"),
    attr("Bindery Property", OCTET_STRING, NONREM, oid=DIR_ATTR + "99"),
    attr("Bindery Object Restriction", INTEGER, SGL | NONREM, oid=DIR_ATTR + "100"),
    attr("Bindery Type", NU_STRING, SGL | NONREM | SIZED | STRING, 1, 4, DIR_ATTR + "101"),
    attr("Type Creator Map", OCTET_STRING, NONREM, oid=DIR_ATTR + "102"),
    attr("Timezone", OCTET_STRING, SGL | NONREM, oid=DIR_ATTR + "103"),
    attr("Certificate Validity Interval", INTERVAL, SGL | NONREM | SIZED, 60, 0x7FFFFFFF,
         DIR_ATTR + "104"),
    attr("CA Private Key", OCTET_STRING, SGL | NONREM | HIDDEN | SRVRRD, oid=DIR_ATTR + "105"),
    attr("CA Public Key", OCTET_STRING, SGL | NONREM | PUBLRD, oid=DIR_ATTR + "106"),
    attr("Unknown", UNKNOWN, NONREM, oid=DIR_ATTR + "107"),
    attr("Unknown Base Class", CE_STRING, SGL | NONREM | SIZED | STRING, 1, 32,
         DIR_ATTR + "108"),
    attr("Unknown Auxiliary Class", CE_STRING, NONREM | SIZED | STRING, 1, 32,
         DIR_ATTR + "109"),
    attr("New Object's DS Rights", OCTET_STRING, NONREM, oid=DIR_ATTR + "110"),
    attr("New Object's FS Rights", OCTET_STRING, NONREM, oid=DIR_ATTR + "111"),
    attr("New Object's Self Rights", OCTET_STRING, NONREM, oid=DIR_ATTR + "112"),
    attr("Permanent Config Parms", OCTET_STRING, SGL | NONREM, oid=DIR_ATTR + "113"),
    attr("Route", OCTET_STRING, NONREM, oid=DIR_ATTR + "114"),
    attr("GUID", OCTET_STRING, SGL | NONREM | SIZED | RDONLY | PUBLRD, 16, 16, DIR_ATTR + "115"),
    attr("Home Phone", TEL_NUMBER, NONREM | STRING, oid=DIR_ATTR + "116"),
    attr("Mobile", TEL_NUMBER, NONREM | STRING, oid=DIR_ATTR + "117"),
    attr("Pager", TEL_NUMBER, NONREM | STRING, oid=DIR_ATTR + "118"),
    attr("Employee Number", CI_STRING, SGL | NONREM | SIZED | STRING, 1, 16, DIR_ATTR + "119"),
    attr("Employee Type", CI_STRING, NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "120"),
    attr("Department Number", CI_STRING, NONREM | SIZED | STRING, 1, 32, DIR_ATTR + "121"),
    attr("Manager", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "122"),
    attr("Secretary", DIST_NAME, NONREM, oid=DIR_ATTR + "123"),
    attr("Assistant", DIST_NAME, SGL | NONREM, oid=DIR_ATTR + "124"),
    attr("Assistant Phone", TEL_NUMBER, SGL | NONREM | STRING, oid=DIR_ATTR + "125"),
    attr("Company", CI_STRING, SGL | NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "126"),
    attr("Display Name", CI_STRING, SGL | NONREM | SIZED | STRING | PUBLRD, 1, 256,
         DIR_ATTR + "127"),
    attr("Preferred Language", CI_STRING, SGL | NONREM | STRING, oid=DIR_ATTR + "128"),
    attr("Photo", OCTET_STRING, NONREM, oid=DIR_ATTR + "129"),
    attr("Jpeg Photo", OCTET_STRING, NONREM, oid=DIR_ATTR + "130"),
    attr("Internet Email Address", CE_STRING, NONREM | SIZED | STRING | PUBLRD, 1, 256,
         DIR_ATTR + "131"),
    attr("Room Number", CI_STRING, NONREM | SIZED | STRING, 1, 32, DIR_ATTR + "132"),
    attr("Car License", CI_STRING, NONREM | SIZED | STRING, 1, 16, DIR_ATTR + "133"),
    attr("Audio", OCTET_STRING, NONREM, oid=DIR_ATTR + "134"),
    attr("UID", CE_STRING, SGL | NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "135"),
    attr("UID Number", INTEGER, SGL | NONREM, oid=DIR_ATTR + "136"),
    attr("GID Number", INTEGER, SGL | NONREM, oid=DIR_ATTR + "137"),
    attr("Login Shell", CE_STRING, SGL | NONREM | STRING, oid=DIR_ATTR + "138"),
    attr("Domain Component", CI_STRING, SGL | NONREM | SIZED | STRING, 1, 64, DIR_ATTR + "139"),
    attr("Labeled URI", CE_STRING, NONREM | STRING, oid=DIR_ATTR + "140"),
    attr("Tree Name", CI_STRING, SGL | NONREM | SIZED | STRING | RDONLY, 1, 32, DIR_ATTR + "141"),
    attr("Auxiliary Class Flag", INTEGER, SGL | NONREM | RDONLY, oid=DIR_ATTR + "142"),
    attr("Dir Storage Location", PATH, SGL | NONREM | SRVRRD, oid=DIR_ATTR + "143"),
    attr("Schema Version", INTEGER, SGL | NONREM | RDONLY | PUBLRD, oid=DIR_ATTR + "144"),
]


def family(prefix, names, start, arc, rules):
    """Attributes of one product family; the first matching rule gives syntax, flags, bounds."""
    out = []
    for i, name in enumerate(names):
        full = prefix + name
        for words, syntax, flags, bounds in rules:
            if any(w in name for w in words) or not words:
                lower, upper = bounds if bounds else (0, 0)
                out.append(attr(full, syntax, flags | (SIZED if bounds else 0), lower, upper,
                                arc + str(start + i)))
                break
    return out


COMMON_RULES = [
    (["Interval", "Timeout", "Delay", "Lease"], INTERVAL, SGL | NONREM, None),
    (["Time", "Date", "Expiration"], TIME, SGL | NONREM, None),
    (["Count", "Attempts"], COUNTER, SGL | NONREM, None),
    (["Limit", "Length", "Size", "Port", "Level", "Min", "Max", "Units", "Quota", "TTL",
      "Refresh", "Retry", "Expire", "Memory", "History", "Block"], INTEGER, SGL | NONREM, None),
    (["Enable", "Allow", "Required", "Disabled", "Force", "Once", "Compression", "Salvage"],
     BOOLEAN,
     SGL | NONREM, None),
    (["Server", "Member", "Owner", "Reference", "Policy", "Group", "Folders", "Contacts",
      "Assignment", "Operator", "DN", "List"], DIST_NAME, NONREM, None),
    (["Forwarding", "External Address"], EMAIL_ADDRESS, NONREM, None),
    (["Address", "Mask"], NET_ADDRESS, NONREM, None),
    (["Path", "Directory", "Filename"], PATH, SGL | NONREM, None),
    (["Key", "Blob", "Map", "Options", "Inventory", "Records", "Icon", "Parameters"],
     OCTET_STRING, NONREM, None),
    (["Serial", "Tag", "Identifier"], PR_STRING, SGL | NONREM | STRING, (1, 64)),
    ([], CI_STRING, NONREM | STRING, (1, 256)),
]

AUDIT = family("Audit:", ["A Encryption Key", "B Encryption Key", "Contents",
                          "Current Encryption Key", "File Link", "Link List", "Path", "Policy",
                          "Type"], 200, DIR_ATTR, COMMON_RULES)
LDAP = family("LDAP ", ["Host Server", "Server Bind Limit", "Server Idle Timeout",
                        "Server List", "Search Size Limit", "Search Time Limit",
                        "Schema Version", "Enable TCP", "Enable SSL", "TCP Port", "SSL Port",
                        "Allow Clear Text Password", "Anonymous Identity", "Attribute Map",
                        "Class Map", "Referral", "Log Level", "Log Filename", "Log Size Limit",
                        "Screen Level", "Backup Log Filename", "Suffix", "Group DN",
                        "Server DN"], 220, DIR_ATTR, COMMON_RULES)
DNS_DHCP = family("", ["DNS Zone Name", "DNS Zone Type", "DNS Server List",
                       "DNS Resource Records", "DNS Start Of Authority", "DNS Serial Number",
                       "DNS Refresh", "DNS Retry", "DNS Expire", "DNS Minimum TTL",
                       "DHCP Subnet Address", "DHCP Subnet Mask", "DHCP Lease Time",
                       "DHCP Options", "DHCP Range Start Address", "DHCP Range End Address",
                       "DHCP Server Reference", "DHCP Exclusions", "DHCP Client Identifier",
                       "DHCP Hardware Address"], 250, DIR_ATTR, COMMON_RULES)
WORKSTATION = family("Workstation ", ["Registration Time", "Operator", "OS", "OS Version",
                                      "Processor", "Memory", "Disk Size", "Last User",
                                      "Inventory", "Group Member", "Policy", "Import Policy",
                                      "Location", "MAC Address", "IP Address", "Serial",
                                      "Asset Tag", "BIOS Version", "Display",
                                      "Video Adapter"], 280, DIR_ATTR, COMMON_RULES)
APPLICATION = family("App:", ["Path", "Parameters", "Working Directory", "Icon", "Caption",
                              "Description", "Contacts", "Folders", "Associations",
                              "Drive Mappings", "Printer Ports", "Environment", "Run Once",
                              "Force Run", "Launcher Config", "Schedule",
                              "System Requirements", "Distribution Options", "Uninstall",
                              "Version Stamp"], 310, DIR_ATTR, COMMON_RULES)
MAIL = family("Mail:", ["Post Office", "Domain", "Gateway", "Quota", "Forwarding Address",
                        "Alias", "Visibility", "Distribution List", "Delivery Restrictions",
                        "External Address"], 340, DIR_ATTR, COMMON_RULES)
POLICY = family("", ["Password Policy DN", "Password Min Upper", "Password Min Lower",
                     "Password Min Numeric", "Password Min Special", "Password Max Repeated",
                     "Password Exclude List", "Password Sync Status", "Password History Limit",
                     "Login Policy DN", "Login Failure Count", "Login Success Count",
                     "Login Challenge Set", "Login Warning Time"], 360, DIR_ATTR, COMMON_RULES)
LICENSE = family("License:", ["Product", "Units", "Owner", "Expiration Date", "Serial",
                              "Publisher", "Version", "Assignment"], 380, DIR_ATTR,
                 COMMON_RULES)
STORAGE = family("Storage:", ["Pool Name", "Pool Size", "Quota", "Compression", "Migration",
                              "Salvage", "Purge Delay", "Block Size"], 390, DIR_ATTR,
                 COMMON_RULES)

ALL_FAMILIES = AUDIT + LDAP + DNS_DHCP + WORKSTATION + APPLICATION + MAIL + POLICY + LICENSE + STORAGE


def names_of(attrs):
    return [a["name"] for a in attrs]


# ---- Classes

def cls(name, flags, oid, sup=(), contain=(), naming=(), must=(), may=(), oid_bytes=None):
    c = {"name": name, "flags": "0x%02X" % flags}
    if oid_bytes is not None:
        c["oidBytes"] = oid_bytes
    elif oid:
        c["oid"] = oid
    c["superClasses"] = list(sup)
    c["containmentClasses"] = list(contain)
    c["namingAttributes"] = list(naming)
    c["mandatoryAttributes"] = list(must)
    c["optionalAttributes"] = list(may)
    return c


CONTAINERS = ["Organization", "Organizational Unit"]
PLACES = ["Country", "Locality", "Organization", "Organizational Unit"]
EFF = EFFECTIVE | NONREMOVABLE
EFF_C = CONTAINER | EFFECTIVE | NONREMOVABLE
PERSON_MAY = ["Description", "See Also", "Telephone Number", "Full Name", "Given Name",
              "Initials", "Generational Qualifier", "Unique ID", "Title", "Email Address"]

BASE_CLASSES = [
    cls("Top", CONTAINER | NONREMOVABLE, X500_CLASS + "0", must=["Object Class"],
        may=["ACL", "Back Link", "Bindery Property", "Obituary", "Reference", "Revision",
             "Last Referenced Time", "Equivalent To Me", "Used By", "Auxiliary Class Flag",
             "Unknown Auxiliary Class", "GUID", "Synchronized Up To"]),
    cls("Alias", EFF, X500_CLASS + "1", ["Top"], must=["Aliased Object Name"]),
    cls("Country", EFF_C, X500_CLASS + "2", ["Top"], ["Top", "Tree Root"], ["C"], ["C"],
        ["Description", "Search Guide", "Dir Storage Location"]),
    cls("Locality", EFF_C, X500_CLASS + "3", ["Top"], PLACES, ["L", "S"], [],
        ["Description", "L", "See Also", "S", "SA", "Search Guide"]),
    cls("Organization", EFF_C, X500_CLASS + "4", ["Top"], ["Top", "Tree Root", "Country",
                                                         "Locality"], ["O"], ["O"],
        ["Description", "Detect Intruder", "Email Address", "Facsimile Telephone Number",
         "Intruder Attempt Reset Interval", "Intruder Lockout Reset Interval", "L",
         "Lockout After Detection", "Login Intruder Limit", "Login Script", "Postal Address",
         "Postal Code", "Postal Office Box", "Print Job Configuration", "S", "SA",
         "See Also", "Telephone Number", "Business Category", "Physical Delivery Office Name"]),
    cls("Organizational Unit", EFF_C, X500_CLASS + "5", ["Top"], PLACES, ["OU"], ["OU"],
        ["Description", "Detect Intruder", "Email Address", "Facsimile Telephone Number",
         "Intruder Attempt Reset Interval", "Intruder Lockout Reset Interval", "L",
         "Lockout After Detection", "Login Intruder Limit", "Login Script", "Postal Address",
         "Postal Code", "Postal Office Box", "Print Job Configuration", "S", "SA",
         "See Also", "Telephone Number", "Business Category"]),
    cls("Person", NONREMOVABLE, X500_CLASS + "6", ["Top"], CONTAINERS, ["CN"],
        ["CN", "Surname"], ["Description", "See Also", "Telephone Number", "Full Name",
                            "Given Name", "Initials", "Generational Qualifier", "Unique ID"]),
    cls("Organizational Person", NONREMOVABLE, X500_CLASS + "7", ["Person"],
        CONTAINERS, ["CN", "OU"], [],
        ["Facsimile Telephone Number", "L", "Mailbox ID", "Mailbox Location", "OU",
         "Physical Delivery Office Name", "Postal Address", "Postal Code",
         "Postal Office Box", "S", "SA", "Title", "X121 Address",
         "International ISDN Number", "Registered Address", "Destination Indicator",
         "Preferred Delivery Method", "Telex Number", "Teletex Terminal Identifier"]),
    cls("Organizational Role", EFF, X500_CLASS + "8", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "Facsimile Telephone Number", "L", "Mailbox ID", "Mailbox Location",
         "OU", "Physical Delivery Office Name", "Postal Address", "Postal Code",
         "Postal Office Box", "Role Occupant", "S", "SA", "See Also", "Telephone Number"]),
    cls("Group", EFF, X500_CLASS + "9", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "Full Name", "GID Number", "L", "Mailbox ID", "Mailbox Location",
         "Member", "O", "OU", "Owner", "See Also", "Profile", "Profile Membership",
         "Email Address", "Login Script"]),
    cls("Residential Person", EFF, X500_CLASS + "10", ["Person"], ["Locality"], ["CN", "L"],
        ["L"], ["Business Category", "Postal Address", "Postal Code", "Postal Office Box",
                "Preferred Delivery Method", "Registered Address", "SA", "S"]),
    cls("Application Process", EFF, X500_CLASS + "11", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "L", "OU", "See Also"]),
    cls("Application Entity", EFF, X500_CLASS + "12", ["Top"], ["Application Process"],
        ["CN"], ["CN", "Presentation Address"],
        ["Description", "L", "O", "OU", "See Also", "Supported Application Context"]),
    cls("DSA", EFF, X500_CLASS + "13", ["Application Entity"], ["Application Process"],
        ["CN"], [], ["Knowledge Information"]),
    cls("Device", EFF, X500_CLASS + "14", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "L", "Network Address", "O", "OU", "Owner", "See Also",
         "Serial Number"]),
    cls("Strong Authentication User", AUXILIARY | NONREMOVABLE, X500_CLASS + "15", ["Top"],
        must=["User Certificate"]),
    cls("Certification Authority", AUXILIARY | NONREMOVABLE, X500_CLASS + "16", ["Top"],
        must=["Authority Revocation", "CA Certificate", "Certificate Revocation"],
        may=["Cross Certificate Pair"]),
    cls("Group Of Unique Names", EFF, X500_CLASS + "17", ["Top"], CONTAINERS, ["CN"],
        ["CN", "Unique Member"], ["Business Category", "Description", "O", "OU", "Owner",
                                  "See Also"]),
    cls("User Security Information", AUXILIARY | NONREMOVABLE, X500_CLASS + "18", ["Top"],
        may=["Supported Algorithms"]),
    cls("CRL Distribution Point", EFF, X500_CLASS + "19", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Authority Revocation", "Certificate Revocation", "Delta Revocation List"]),
    cls("DMD", EFF_C, X500_CLASS + "20", ["Top"], ["Tree Root"], ["DMD Name"], ["DMD Name"],
        ["Description", "See Also", "Telephone Number", "Business Category"]),
    # The directory's own classes.
    cls("Tree Root", CONTAINER | EFFECTIVE | NONREMOVABLE | AMB_CONTAINMENT, DIR_CLASS + "1",
        ["Top"], [], ["Tree Name"], ["Tree Name"], ["Schema Version", "Description"]),
    cls("User", EFF, DIR_CLASS + "2", ["Organizational Person"], CONTAINERS, ["CN"], [],
        ["Account Balance", "Allow Unlimited Credit", "Group Membership", "Higher Privileges",
         "Home Directory", "Language", "Last Login Time", "Locked By Intruder",
         "Login Allowed Time Map", "Login Disabled", "Login Expiration Time",
         "Login Grace Limit", "Login Grace Remaining", "Login Intruder Address",
         "Login Intruder Attempts", "Login Intruder Reset Time", "Login Maximum Simultaneous",
         "Login Script", "Login Time", "Message Server", "Minimum Account Balance",
         "Network Address", "Network Address Restriction", "Password Allow Change",
         "Password Expiration Interval", "Password Expiration Time",
         "Password Minimum Length", "Password Required", "Password Unique Required",
         "Passwords Used", "Print Job Configuration", "Private Key", "Profile",
         "Profile Membership", "Public Key", "Security Equals", "Security Flags",
         "Server Holds", "Type Creator Map", "Home Phone", "Mobile", "Pager",
         "Employee Number", "Department Number", "Manager", "Display Name",
         "Internet Email Address", "UID"]),
    cls("Server", EFF, DIR_CLASS + "3", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Account Balance", "Description", "Host Device", "L", "Minimum Account Balance",
         "Network Address", "O", "OU", "Operator", "Private Key", "Public Key", "Resource",
         "See Also", "Security Equals", "Security Flags", "Status", "Version", "Full Name",
         "Permanent Config Parms", "Timezone"]),
    cls("NCP Server", EFF, DIR_CLASS + "4", ["Server"], CONTAINERS, ["CN"], [],
        ["Messaging Server", "Operator", "Supported Services", "Dir Storage Location",
         "Synchronization Tolerance", "Convergence", "Low Convergence Reset Time",
         "Low Convergence Sync Interval", "High Convergence Sync Interval"]),
    cls("Volume", EFF, DIR_CLASS + "5", ["Resource"], CONTAINERS, ["CN"], ["Host Server"],
        ["Status", "Volume Space Restrictions", "Host Resource Name"]),
    cls("Directory Map", EFF, DIR_CLASS + "6", ["Resource"], CONTAINERS, ["CN"],
        ["Host Server", "Path"], []),
    cls("Profile", EFF, DIR_CLASS + "7", ["Top"], CONTAINERS, ["CN"], ["CN", "Login Script"],
        ["Description", "L", "OU", "See Also", "Full Name"]),
    cls("Queue", EFF, DIR_CLASS + "8", ["Resource"], CONTAINERS, ["CN"], ["Queue Directory"],
        ["Device", "Operator", "Server", "Volume", "Network Address"]),
    cls("Print Server", EFF, DIR_CLASS + "9", ["Server"], CONTAINERS, ["CN"], [],
        ["Operator", "Printer", "Status", "Network Address"]),
    cls("Printer", EFF, DIR_CLASS + "10", ["Device"], CONTAINERS, ["CN"], [],
        ["Cartridge", "Default Queue", "Host Device", "Print Server", "Memory",
         "Network Address Restriction", "Notify", "Operator", "Page Description Language",
         "Queue", "Status", "Supported Typefaces", "Printer Configuration",
         "Printer Control"]),
    cls("Computer", EFF, DIR_CLASS + "11", ["Device"], CONTAINERS, ["CN"], [],
        ["Operator", "Server", "Status"]),
    cls("Bindery Object", EFF, DIR_CLASS + "12", ["Top"], CONTAINERS, ["CN", "Bindery Type"],
        ["Bindery Object Restriction", "Bindery Type", "CN"], []),
    cls("Bindery Queue", EFF, DIR_CLASS + "13", ["Queue"], CONTAINERS, ["CN", "Bindery Type"],
        ["Bindery Type"], []),
    cls("Partition", AUXILIARY | NONREMOVABLE | OPERATIONAL, DIR_CLASS + "14", ["Top"],
        may=["Convergence", "Partition Creation Time", "Replica", "Inherited ACL",
             "Low Convergence Sync Interval", "Received Up To", "Synchronized Up To",
             "Authority Revocation", "Certificate Revocation", "CA Private Key",
             "CA Public Key", "Cross Certificate Pair", "Partition Control",
             "Partition Status"]),
    cls("Resource", NONREMOVABLE, DIR_CLASS + "15", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "Host Resource Name", "L", "O", "OU", "See Also", "Version"]),
    cls("Messaging Server", EFF, DIR_CLASS + "16", ["Server"], CONTAINERS, ["CN"], [],
        ["Messaging Database Location", "Messaging Server Type", "Postmaster",
         "Supported Gateway", "Supported Services"]),
    cls("Message Routing Group", EFF, DIR_CLASS + "17", ["Group"],
        CONTAINERS, ["CN"], [], []),
    cls("External Entity", EFF, DIR_CLASS + "18", ["Top"], CONTAINERS, ["CN", "OU"], ["CN"],
        ["Description", "See Also", "Facsimile Telephone Number", "L", "Email Address",
         "Mailbox ID", "Mailbox Location", "OU", "Postal Address", "Postal Code",
         "Telephone Number", "Title"]),
    cls("List", EFF, DIR_CLASS + "19", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "L", "Member", "O", "OU", "Owner", "See Also", "Full Name",
         "Email Address", "Mailbox ID", "Mailbox Location"]),
    cls("Template", EFF, DIR_CLASS + "20", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Member", "Account Balance", "Home Directory", "Language", "Login Script",
         "Login Grace Limit", "Password Minimum Length", "Password Required", "Profile"]),
    cls("Unknown", EFF, DIR_CLASS + "21", ["Top"], CONTAINERS, ["CN"], [], []),
    cls("Audit:File Object", EFF, DIR_CLASS + "22", ["Top"], CONTAINERS, ["CN"],
        ["CN", "Audit:Policy", "Audit:Contents"],
        ["Description", "Audit:Path", "Audit:Link List", "Audit:Type",
         "Audit:Current Encryption Key", "Audit:A Encryption Key", "Audit:B Encryption Key"]),
    cls("inetOrgPerson", EFF, "2.16.840.1.113730.3.2.2", ["User"], CONTAINERS, ["CN"], [],
        ["Audio", "Business Category", "Car License", "Department Number", "Display Name",
         "Employee Number", "Employee Type", "Given Name", "Home Phone", "Initials",
         "Jpeg Photo", "Labeled URI", "Internet Email Address", "Manager", "Mobile", "O",
         "Pager", "Photo", "Preferred Language", "Room Number", "Secretary", "UID"]),
    cls("Domain", EFF_C, "0.9.2342.19200300.100.4.13", ["Top"],
        ["Top", "Tree Root", "Domain", "Country", "Locality", "Organization",
         "Organizational Unit"], ["Domain Component"], ["Domain Component"],
        ["Description", "L", "S", "SA", "Postal Address", "Telephone Number", "See Also",
         "Business Category", "Search Guide"]),
    cls("ndsLoginProperties", AUXILIARY | NONREMOVABLE, DIR_CLASS + "24", ["Top"],
        may=["Login Allowed Time Map", "Login Disabled", "Login Expiration Time",
             "Login Grace Limit", "Login Grace Remaining", "Login Maximum Simultaneous",
             "Login Script", "Login Time", "Network Address Restriction",
             "Password Allow Change", "Password Minimum Length", "Password Required"]),
    cls("ndsContainerLoginProperties", AUXILIARY | NONREMOVABLE, DIR_CLASS + "25", ["Top"],
        may=["Login Intruder Limit", "Intruder Attempt Reset Interval", "Detect Intruder",
             "Lockout After Detection", "Intruder Lockout Reset Interval"]),
    cls("posixAccount", AUXILIARY, "1.3.6.1.1.1.2.0", ["Top"],
        must=["CN", "UID", "UID Number", "GID Number", "Home Directory"],
        may=["Description", "Login Shell"]),
    cls("posixGroup", AUXILIARY, "1.3.6.1.1.1.2.2", ["Top"], must=["CN", "GID Number"],
        may=["Description", "Member"]),
    cls("LDAP Server", EFF, DIR_CLASS + "28", ["Top"], CONTAINERS, ["CN"], ["CN"],
        names_of(LDAP)[:22]),
    cls("LDAP Group", EFF, DIR_CLASS + "29", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["LDAP Server List", "LDAP Anonymous Identity", "LDAP Allow Clear Text Password",
         "LDAP Attribute Map", "LDAP Class Map", "LDAP Referral", "LDAP Suffix"]),
    cls("DNS Zone", EFF, DIR_CLASS + "30", ["Top"], CONTAINERS + ["Domain"], ["CN"],
        ["CN", "DNS Zone Name"], names_of(DNS_DHCP)[1:10]),
    cls("DNS Resource Record Set", EFF, DIR_CLASS + "31", ["Top"], ["DNS Zone"], ["CN"],
        ["CN"], ["DNS Resource Records"]),
    cls("DHCP Subnet", EFF_C, DIR_CLASS + "32", ["Top"], CONTAINERS, ["CN"],
        ["CN", "DHCP Subnet Address", "DHCP Subnet Mask"],
        ["DHCP Lease Time", "DHCP Options", "DHCP Server Reference", "DHCP Exclusions"]),
    cls("DHCP Address Range", EFF, DIR_CLASS + "33", ["Top"], ["DHCP Subnet"], ["CN"],
        ["CN", "DHCP Range Start Address", "DHCP Range End Address"], ["DHCP Exclusions"]),
    cls("DHCP Reservation", EFF, DIR_CLASS + "34", ["Top"], ["DHCP Subnet"], ["CN"],
        ["CN", "DHCP Client Identifier"], ["DHCP Hardware Address", "Description"]),
    cls("Workstation", EFF, DIR_CLASS + "35", ["Device"], CONTAINERS, ["CN"], [],
        names_of(WORKSTATION)),
    cls("Workstation Group", EFF, DIR_CLASS + "36", ["Group"], CONTAINERS, ["CN"], [],
        ["Workstation Policy", "Workstation Import Policy"]),
    cls("Application", EFF, DIR_CLASS + "37", ["Top"], CONTAINERS, ["CN"], ["CN", "App:Path"],
        names_of(APPLICATION)[1:]),
    cls("Application Folder", EFF, DIR_CLASS + "38", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["App:Folders", "Description"]),
    cls("Policy Package", EFF, DIR_CLASS + "39", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "Workstation Policy", "Workstation Import Policy"]),
    cls("Password Policy", EFF, DIR_CLASS + "40", ["Top"], CONTAINERS + ["Tree Root"], ["CN"],
        ["CN"], names_of(POLICY)[1:9]),
    cls("Login Policy", EFF, DIR_CLASS + "41", ["Top"], CONTAINERS + ["Tree Root"], ["CN"],
        ["CN"], ["Login Failure Count", "Login Success Count", "Login Challenge Set",
                 "Login Warning Time"]),
    cls("Post Office", EFF_C, DIR_CLASS + "42", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Mail:Domain", "Mail:Gateway", "Mail:Quota", "Messaging Server", "Description"]),
    cls("Distribution List", EFF, DIR_CLASS + "43", ["Group"], CONTAINERS + ["Post Office"],
        ["CN"], [], ["Mail:Distribution List", "Mail:Visibility", "Mail:External Address"]),
    cls("Resource Mailbox", EFF, DIR_CLASS + "44", ["Top"], ["Post Office"], ["CN"],
        ["CN", "Owner"], ["Mail:Forwarding Address", "Mail:Alias", "Mail:Quota"]),
    cls("Contact", EFF, DIR_CLASS + "45", ["Organizational Person"], CONTAINERS, ["CN"], [],
        ["Mail:External Address", "Internet Email Address", "Company"]),
    cls("License Certificate", EFF, DIR_CLASS + "46", ["Top"], CONTAINERS, ["CN"],
        ["CN", "License:Product", "License:Serial"],
        ["License:Units", "License:Owner", "License:Expiration Date", "License:Publisher",
         "License:Version", "License:Assignment"]),
    cls("Licensed Product", EFF_C, DIR_CLASS + "47", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["License:Publisher", "License:Version", "Description"]),
    cls("Storage Pool", EFF, DIR_CLASS + "48", ["Resource"], CONTAINERS, ["CN"],
        ["Storage:Pool Name"], ["Storage:Pool Size", "Storage:Compression",
                                "Storage:Migration", "Storage:Block Size", "Host Server"]),
    cls("Shared Folder", EFF, DIR_CLASS + "49", ["Resource"], CONTAINERS, ["CN"],
        ["Host Server", "Path"], ["Storage:Quota", "Storage:Salvage", "Storage:Purge Delay"]),
    cls("Key Material Object", EFF, DIR_CLASS + "50", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Public Key", "Private Key", "Certificate Validity Interval", "User Certificate",
         "CA Certificate"]),
    cls("Certificate Authority", EFF, DIR_CLASS + "51", ["Top"], ["Organization"], ["CN"],
        ["CN"], ["CA Private Key", "CA Public Key", "Certificate Validity Interval",
                 "Host Server"]),
    cls("Catalog", EFF, DIR_CLASS + "52", ["Top"], CONTAINERS, ["CN"], ["CN"],
        ["Description", "Host Server", "Path", "Status"]),
]


def find(items, name):
    for it in items:
        if it["name"] == name:
            return it
    raise KeyError(name)


def tree(default_context, classes, attrs, batch=None):
    t = {"defaultContext": default_context}
    if batch:
        t["batchSize"] = batch
    t["classes"] = classes
    t["attributes"] = attrs
    return t


def acme():
    classes = copy.deepcopy(BASE_CLASSES)
    attrs = copy.deepcopy(BASE_ATTRS + ALL_FAMILIES)
    attrs += [
        attr("Acme:Badge Number", PR_STRING, SGL | SIZED | STRING, 6, 6, ACME_ARC + "1"),
        attr("Acme:Cost Center Code", NU_STRING, SGL | SIZED | STRING, 4, 8, ACME_ARC + "2"),
        attr("Acme:Hire Date", TIME, SGL, oid=ACME_ARC + "3"),
        attr("Acme:Parking Space", CI_STRING, SGL | SIZED | STRING, 1, 8, ACME_ARC + "4"),
        attr("Acme:Project Code", CI_STRING, SIZED | STRING, 1, 12, ACME_ARC + "5"),
        attr("Acme:Clearance Level", INTEGER, SGL | SIZED, 0, 5, ACME_ARC + "6"),
        attr("Acme:Badge Reader Zone", CI_STRING, STRING, oid=ACME_ARC + "7"),
        attr("Acme:Cost Center Owner", DIST_NAME, SGL, oid=ACME_ARC + "8"),
        attr("Acme:Legacy Import Marker", SYNTAX_COUNT, SGL | HIDDEN, oid=ACME_ARC + "9"),
        attr("Acme:Access Log", STREAM, SGL | HIDDEN | SRVRRD, oid=ACME_ARC + "10"),
    ]
    classes += [
        cls("Acme:Badge Reader", EFF, None, ["Device"], CONTAINERS, ["CN"], [],
            ["Acme:Badge Reader Zone", "Acme:Access Log"], oid_bytes="06 0C 2B 06 01 04 01 83"),
        cls("Acme:Cost Center", EFF_C, ACME_ARC + "101", ["Top"], CONTAINERS, ["CN"],
            ["CN", "Acme:Cost Center Code"], ["Acme:Cost Center Owner", "Description"]),
        cls("Acme:Project", EFF, ACME_ARC + "102", ["Top"],
            ["Acme:Cost Center"] + CONTAINERS, ["CN"], ["CN", "Acme:Project Code"],
            ["Member", "Owner", "Description"]),
        cls("Acme:Employee", AUXILIARY, ACME_ARC + "103", ["Top"],
            must=["Acme:Badge Number"],
            may=["Acme:Hire Date", "Acme:Parking Space", "Acme:Clearance Level",
                 "Acme:Project Code"]),
        cls("Trusted Root Container", EFF_C, DIR_CLASS + "60", ["Top"], CONTAINERS, ["CN"],
            ["CN"], ["Description"]),
        cls("Trusted Root", EFF, DIR_CLASS + "61", ["Top"], ["Trusted Root Container"],
            ["CN"], ["CN", "CA Certificate"], ["Description"]),
    ]
    return tree(".OU=Sales.O=Acme", classes, attrs, batch=25)


def globex():
    classes = copy.deepcopy(BASE_CLASSES)
    attrs = copy.deepcopy(BASE_ATTRS + ALL_FAMILIES)

    # Attribute definitions that differ: syntax, flags, bounds.
    find(attrs, "Employee Number").update(syntax=INTEGER, flags="0x%04X" % (SGL | NONREM))
    find(attrs, "Employee Number").pop("lower")
    find(attrs, "Employee Number").pop("upper")
    find(attrs, "Login Time")["flags"] = "0x%04X" % (SGL | NONREM | PERREP)
    find(attrs, "CN").update(lower=1, upper=128)
    find(attrs, "Description").update(lower=0, upper=4096)
    find(attrs, "Network Address")["flags"] = "0x%04X" % (NONREM | RDONLY | PUBLRD | SYNCIMDT)
    find(attrs, "Home Directory")["syntax"] = CI_STRING
    # A name that differs only in letter case.
    find(attrs, "Labeled URI")["name"] = "Labeled Uri"
    # Attributes of the first tree only.
    for gone in ["Bindery Type", "Bindery Object Restriction", "Bindery Property"]:
        attrs.remove(find(attrs, gone))
    for c in classes:
        for lst in ("optionalAttributes", "mandatoryAttributes", "namingAttributes"):
            c[lst] = [n for n in c[lst] if not n.startswith("Bindery")]
    classes.remove(find(classes, "Bindery Object"))
    classes.remove(find(classes, "Bindery Queue"))

    attrs += [
        attr("Globex:Lab Access", BOOLEAN, SGL | SYNCIMDT, oid=GLOBEX_ARC + "1"),
        attr("Globex:Vendor ID", CE_STRING, SGL | SIZED | STRING, 1, 20, GLOBEX_ARC + "2"),
        attr("Globex:Contract Number", PR_STRING, SIZED | STRING, 1, 24, GLOBEX_ARC + "3"),
        attr("Globex:Safety Training Date", TIME, SGL, oid=GLOBEX_ARC + "4"),
        attr("Globex:Hazard Class", INTEGER, SGL | SIZED, 1, 9, GLOBEX_ARC + "5"),
        attr("Globex:Laboratory Code", CI_STRING, SGL | SIZED | STRING, 2, 6, GLOBEX_ARC + "6"),
        attr("Globex:Contract Value", INTEGER, SGL | SIZED, 0, -1, GLOBEX_ARC + "7"),
        attr("Globex:Vendor Blob", 0xFFFFFFFF, 0, oid=GLOBEX_ARC + "8"),
        attr("Globex:Renewal Interval", INTERVAL, SGL, oid=GLOBEX_ARC + "9"),
        attr("Globex:Sponsor", DIST_NAME, SGL | WRTMNGD, oid=GLOBEX_ARC + "10"),
        attr("Globex:Badge Photo", OCTET_STRING, SGL | SIZED, 1, 65536, GLOBEX_ARC + "11"),
        attr("Globex:Compliance Flags", INTEGER, SGL | NONREM | 0x1000, oid=GLOBEX_ARC + "12"),
    ]

    # One class that differs in every item kind.
    user = find(classes, "User")
    user["superClasses"] = ["Organizational Person", "ndsLoginProperties"]
    user["containmentClasses"] = ["Organization", "Organizational Unit", "Domain"]
    user["namingAttributes"] = ["CN", "UID"]
    user["mandatoryAttributes"] = ["Surname"]
    user["optionalAttributes"] = [n for n in user["optionalAttributes"]
                                  if n not in ("Pager", "Account Balance")] + [
        "Globex:Lab Access", "Globex:Safety Training Date"]
    user["oid"] = GLOBEX_ARC + "200"
    # An item list that differs only in order.
    org = find(classes, "Organization")
    org["optionalAttributes"] = sorted(org["optionalAttributes"])
    find(classes, "Locality")["namingAttributes"] = ["S", "L"]
    # A class whose flags alone differ.
    find(classes, "Organizational Role")["flags"] = "0x%02X" % (EFF_C)
    find(classes, "Template")["flags"] = "0x%02X" % (EFF | AMB_NAMING)
    # A class name that differs only in letter case.
    find(classes, "inetOrgPerson")["name"] = "InetOrgPerson"
    find(classes, "InetOrgPerson")["optionalAttributes"] = [
        "Labeled Uri" if n == "Labeled URI" else n
        for n in find(classes, "InetOrgPerson")["optionalAttributes"]]
    # Identifier differences: another number, and one that no longer decodes.
    find(classes, "Catalog")["oid"] = DIR_CLASS + "152"
    pool = find(classes, "Storage Pool")
    pool.pop("oid")
    pool["oidBytes"] = "06 0D 60 86 48 01 86 F8 37 01 01 06 01"  # runs past its end

    classes += [
        cls("Globex:Laboratory", EFF_C, GLOBEX_ARC + "101", ["Top"], CONTAINERS, ["CN"],
            ["CN", "Globex:Laboratory Code"], ["Globex:Hazard Class", "Description",
                                               "Telephone Number"]),
        cls("Globex:Vendor", EFF, GLOBEX_ARC + "102", ["Organization"], ["Organization"],
            ["O", "Globex:Vendor ID"], ["Globex:Vendor ID"],
            ["Globex:Contract Number", "Globex:Vendor Blob"]),
        cls("Globex:Contract", EFF, GLOBEX_ARC + "103", ["Top"], ["Globex:Vendor"], ["CN"],
            ["CN", "Globex:Contract Number"],
            ["Globex:Contract Value", "Globex:Renewal Interval", "Globex:Sponsor"]),
        cls("Globex:Researcher", AUXILIARY | AMB_CONTAINMENT, GLOBEX_ARC + "104", ["Top"],
            must=[], may=["Globex:Lab Access", "Globex:Safety Training Date",
                          "Globex:Badge Photo", "Globex:Compliance Flags"]),
        cls("DHCP Server", EFF, DIR_CLASS + "62", ["Server"], CONTAINERS, ["CN"], [],
            ["DHCP Options", "DHCP Lease Time"]),
        cls("DNS Server", EFF, DIR_CLASS + "63", ["Server"], CONTAINERS, ["CN"], [],
            ["DNS Server List", "DNS Zone Type"]),
    ]
    return tree("", classes, attrs)


MESSAGES = {
    "0xFFFF": "the directory client is not ready",
    "0x8801": "invalid connection reference",
    "0x880F": "no primary connection",
    "0x8836": "invalid parameter",
    "0x8847": "no more connections",
    "-301": "not enough memory",
    "-302": "bad context key",
    "-303": "bad context",
    "-304": "buffer full",
    "-307": "buffer empty",
    "-308": "bad verb",
    "-322": "invalid buffer handle",
    "-327": "bad iteration handle",
    "-601": "no such entry",
    "-603": "no such attribute",
    "-604": "no such class",
    "-634": "no connection reaches that tree",
    "-649": "insufficient buffer",
}

CONFIG = {
    "_comment": "Demo directory: two trees, one reached twice in another letter case, "
                "one reported padded with underscores.",
    "connections": [
        {"treeName": "ACME-CORP", "kind": "tree-file", "treeFile": "acme-corp.json"},
        {"treeName": "GLOBEX" + "_" * 26, "kind": "tree-file", "treeFile": "globex.json"},
        {"treeName": "acme-corp", "kind": "tree-file", "treeFile": "acme-corp.json"},
    ],
    "primary": 0,
    "messages": MESSAGES,
}


def check(t):
    names = {a["name"].upper() for a in t["attributes"]}
    classes = {c["name"].upper() for c in t["classes"]}
    assert len(t["classes"]) >= 60 and len(t["attributes"]) >= 300, (len(t["classes"]),
                                                                       len(t["attributes"]))
    for c in t["classes"]:
        for key in ("superClasses", "containmentClasses"):
            for n in c[key]:
                assert n.upper() in classes, (c["name"], key, n)
        for key in ("namingAttributes", "mandatoryAttributes", "optionalAttributes"):
            for n in c[key]:
                assert n.upper() in names, (c["name"], key, n)


def dumps(value, depth=0):
    """JSON with one entry a line, lists of names kept on one line."""
    pad, inner = "  " * depth, "  " * (depth + 1)
    if isinstance(value, dict):
        if not value:
            return "{}"
        return "{\n" + ",\n".join(inner + json.dumps(k) + ": " + dumps(v, depth + 1)
                                   for k, v in value.items()) + "\n" + pad + "}"
    if isinstance(value, list) and any(isinstance(v, (dict, list)) for v in value):
        return "[\n" + ",\n".join(inner + dumps(v, depth + 1) for v in value) + "\n" + pad + "]"
    return json.dumps(value, ensure_ascii=False)


def write(name, data):
    with open(os.path.join(HERE, name), "w", encoding="utf-8") as f:
        f.write(dumps(data) + "\n")


def main():
    a, g = acme(), globex()
    check(a)
    check(g)
    write("acme-corp.json", a)
    write("globex.json", g)
    write("kalvix-client.json", CONFIG)
    print("acme-corp: %d classes, %d attributes; globex: %d classes, %d attributes" % (
        len(a["classes"]), len(a["attributes"]), len(g["classes"]), len(g["attributes"])))


if __name__ == "__main__":
    main()
