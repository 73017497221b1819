// Why a source of a tree read whole (an LDAP server, an LDIF dump, schema files) gave no
// tree, or gave one with gaps: what, where, why and what to do, in words. The simulated
// directory's failures keep the client's codes and messages.
#pragma once

#include <cstdint>
#include <string>

struct SourceProblem {
    std::int32_t code = 0;  // the client's code for it: its message table and LastError
    std::string what;       // "cannot read", "is read without the definitions that do not parse"
    std::string source;     // "the LDAP server", "the LDIF dump", "the schema files"
    std::string where;      // the server's address, the file or files
    std::string reason;     // why; empty where systemError says it
    int systemError = 0;    // errno of the system call that failed; 0 for none
    std::string toDo;       // what to do, without a full stop; may be empty
    bool remark = false;    // a notice about a tree read whole: said, not a failure

    // The reason in words: reason, else the system's text for systemError.
    std::string why() const;
    // "/srv/a.ldif: No such file or directory", as the client's message table has it.
    std::string explanation() const;
};

// A reader's message without the "where: " it begins with (as written, or escaped as
// messages show names).
std::string ReasonAfter(const std::string& message, const std::string& where);

// One line and, for a long reason (definitions listed one a line), the lines after it:
// "cannot read the LDIF dump /srv/a.ldif: No such file or directory (check the file
// names the configuration gives)".
std::string SourceProblemText(const SourceProblem& problem);
// The same as a dialog has it: a heading ("Cannot read the LDIF dump /srv/a.ldif") and
// beneath it why, then what to do.
std::string SourceProblemHeading(const SourceProblem& problem);
std::string SourceProblemDetail(const SourceProblem& problem);
