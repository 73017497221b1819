// kalvix-cli fit against slapadd -u (slapd's own dry-run load) on the same generated LDIF
// and the same schema: OpenLDAP's core, cosine, inetorgperson and nis .schema files.
// Entries are inetOrgPerson and posixAccount people with about 15 attributes each.
//
//   bench_fit [--entries 1000000] [--dir DIR] [--schema /etc/ldap/schema] [--keep]
//
// Figures, each program run in a process of its own, measured side by side in one run:
// CPU time (user + system), wall time and peak memory (ru_maxrss) of
//   fit:          kalvix-cli fit -q --jobs 1 FILE SCHEMA-FOLDER (one core)
//   fit, 2 cores: kalvix-cli fit -q FILE SCHEMA-FOLDER
//   slapadd -u:   slapadd -u -f slapd.conf -l FILE, when slapadd is installed
// Targets: fit's CPU time at most slapadd -u's, its peak memory at most 64 MiB, its wall
// time with both cores at most 0.6x slapadd -u's.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "SpawnRun.h"

namespace {

namespace fs = std::filesystem;

Run SpawnQuiet(const std::vector<std::string>& args) { return Spawn(args, true); }

// People under ou=People: every other one also a posixAccount.
void Generate(const fs::path& file, long entries) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (!out) throw std::runtime_error("cannot write " + file.string());
    std::fputs(
        "dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\n"
        "dc: example\no: Example\n\n"
        "dn: ou=People,dc=example,dc=com\nobjectClass: organizationalUnit\nou: People\n\n",
        out);
    static const char* const kTitles[] = {"Engineer", "Manager", "Clerk", "Analyst"};
    static const char* const kUnits[] = {"Engineering", "Sales", "Finance", "Support"};
    for (long i = 0; i < entries; ++i) {
        const bool posix = i % 2 == 0;
        std::fprintf(
            out,
            "dn: uid=user%07ld,ou=People,dc=example,dc=com\n"
            "objectClass: top\nobjectClass: person\nobjectClass: organizationalPerson\n"
            "objectClass: inetOrgPerson\n%s"
            "uid: user%07ld\ncn: Given%ld Surname%ld\nsn: Surname%ld\ngivenName: Given%ld\n"
            "mail: user%07ld@example.com\ntelephoneNumber: +1 555 %04ld %04ld\n"
            "employeeNumber: %ld\ntitle: %s\nou: %s\nl: Springfield\n"
            "postalCode: %05ld\ndescription: Generated person number %ld\n",
            i, posix ? "objectClass: posixAccount\n" : "", i, i, i, i, i, i, i % 10000, i / 10000,
            i, kTitles[i % 4], kUnits[(i / 4) % 4], i % 100000, i);
        if (posix)
            std::fprintf(out,
                         "uidNumber: %ld\ngidNumber: %ld\nhomeDirectory: /home/user%07ld\n"
                         "loginShell: /bin/bash\n",
                         10000 + i, 100 + i % 50, i);
        else
            std::fprintf(out, "displayName: Given%ld S.\nroomNumber: %ld\nbusinessCategory: %s\n",
                         i, 100 + i % 900, kUnits[i % 4]);
        std::fputc('\n', out);
    }
    if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + file.string());
}

void Print(const char* label, const Run& r) {
    std::printf("%-14s cpu %7.2f s  wall %7.2f s  peak %7.1f MiB  exit %d\n", label, r.cpu, r.wall,
                r.peakMiB, r.status);
}

}  // namespace

int main(int argc, char** argv) {
    long entries = 1000000;
    fs::path dir = fs::temp_directory_path() / "kalvix-bench-fit";
    fs::path schema = "/etc/ldap/schema";
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--entries" && i + 1 < argc)
            entries = std::atol(argv[++i]);
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--schema" && i + 1 < argc)
            schema = argv[++i];
        else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_fit [--entries N] [--dir DIR] [--schema DIR] [--keep]\n");
            return 2;
        }
    }
    const char* files[] = {"core.schema", "cosine.schema", "inetorgperson.schema", "nis.schema"};
    fs::create_directories(dir / "schema");
    for (const char* f : files) {
        if (!fs::exists(schema / f)) {
            std::fprintf(stderr, "bench_fit: %s missing (install slapd)\n", (schema / f).c_str());
            return 2;
        }
        fs::copy_file(schema / f, dir / "schema" / f, fs::copy_options::overwrite_existing);
    }
    const fs::path ldif = dir / "people.ldif";
    const auto generated = std::chrono::steady_clock::now();
    Generate(ldif, entries);
    std::printf(
        "%ld entries, %.0f MB, generated in %.1f s\n", entries,
        static_cast<double>(fs::file_size(ldif)) / 1e6,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - generated).count());
    // The file once through the page cache, so no run pays for the disk.
    SpawnQuiet({"/bin/cat", ldif.string()});

    const std::string schemaDir = (dir / "schema").string();
    const Run one = SpawnQuiet({KALVIX_CLI, "fit", "-q", "--jobs", "1", ldif.string(), schemaDir});
    Print("fit", one);
    const Run two = SpawnQuiet({KALVIX_CLI, "fit", "-q", ldif.string(), schemaDir});
    Print("fit, 2 cores", two);

    const char* slapadd = "/usr/sbin/slapadd";
    if (fs::exists(slapadd)) {
        fs::create_directories(dir / "db");
        std::ofstream conf(dir / "slapd.conf");
        for (const char* f : files) conf << "include " << (dir / "schema" / f).string() << "\n";
        conf << "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
             << "database mdb\nsuffix \"dc=example,dc=com\"\nmaxsize 1073741824\n"
             << "directory " << (dir / "db").string() << "\n";
        conf.close();
        const Run slap =
            SpawnQuiet({slapadd, "-u", "-f", (dir / "slapd.conf").string(), "-l", ldif.string()});
        Print("slapadd -u", slap);
        if (slap.status == 0 && slap.cpu > 0)
            std::printf(
                "fit cpu / slapadd cpu: %.2f (target <= 1); fit wall, 2 cores / slapadd wall: "
                "%.2f (target <= 0.6); fit peak %.1f MiB (target <= 64)\n",
                one.cpu / slap.cpu, two.wall / slap.wall, std::max(one.peakMiB, two.peakMiB));
    } else {
        std::printf("slapadd not installed: no side-by-side figures\n");
    }
    if (!keep) fs::remove_all(dir);
    return 0;
}
