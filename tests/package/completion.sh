#!/usr/bin/env bash
# The bash completion as bash runs it: COMP_WORDS split at blanks and colons, then the
# completion function, then COMPREPLY compared. Usage: completion.sh COMPLETION_FILE CLI
set -uo pipefail
completion=$1
cli_dir=$(dirname "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"

export PATH="$cli_dir:$PATH"
export KALVIX_CLIENT=$KALVIX_SOURCE_DIR/data/demo/kalvix-client.json
cd "$work" || exit 2
mkdir schemas "my folder"
touch lab_1.txt lab_2.txt schemas/acme.txt "my folder/x.txt"

failures=0

# complete LINE: COMPREPLY for the cursor at the end of LINE, sorted, one a line.
complete_line() {
    local line=$1 word
    COMP_WORDS=()
    # Bash splits at blanks and makes each colon a word of its own.
    for word in $line; do
        while [[ $word == *:* ]]; do
            [[ -n ${word%%:*} ]] && COMP_WORDS+=("${word%%:*}")
            COMP_WORDS+=(":")
            word=${word#*:}
        done
        [[ -n $word ]] && COMP_WORDS+=("$word")
    done
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    local function
    function=$(complete -p "${COMP_WORDS[0]##*/}" | sed -E 's/.*-F ([^ ]+).*/\1/')
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]:-}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

expect() {
    local line=$1 expected=$2 got
    got=$(complete_line "$line")
    if [[ $got != "$expected" ]]; then
        echo "FAIL: '$line'"
        echo "  expected: $(printf '%q' "$expected")"
        echo "  got:      $(printf '%q' "$got")"
        failures=$((failures + 1))
    fi
}

expect "kalvix-cli " $'--help\n--version\ncompare\ncompare-attributes\ncompare-classes\nfit\nquick\nreconcile\nsave\nshow\nsurvey\ntrees'
expect "kalvix-cli comp" $'compare\ncompare-attributes\ncompare-classes'
expect "kalvix-cli -q comp" $'compare\ncompare-attributes\ncompare-classes'
expect "kalvix-cli compare --f" "--format"
expect "kalvix-cli show --" $'--attribute\n--class\n--help\n--quiet\n--version'
expect "kalvix-cli trees --" $'--help\n--quiet\n--version'
expect "kalvix-cli quick --format " $'csv\nhtml\njson\ntext'
# --ignore: the comparisons only; a list is completed at its last item.
expect "kalvix-cli compare-classes --ig" "--ignore"
expect "kalvix-cli quick --ig" ""
expect "kalvix-cli compare --ignore de" "description"
expect "kalvix-cli compare --ignore names,x-" $'names,x-origin\nnames,x-schema-file'
expect "kalvix-cli compare --ignore names lab_1" "lab_1.txt"
expect "kalvix-cli rec" "reconcile"
expect "kalvix-cli reconcile --" $'--dialect\n--forest-placeholder\n--format\n--help\n--include-changed\n--include-config-schema\n--quiet\n--schema-dn\n--schema-name\n--version'
expect "kalvix-cli reconcile --dialect " $'ad\nopenldap\nrfc4512'
expect "kalvix-cli reconcile --format " $'ldif\nschema'
expect "kalvix-cli reconcile --schema-dn " ""
expect "kalvix-cli reconcile -q --dialect o" "openldap"
# An option's value is the user's own, and only a command that takes the option has one.
expect "kalvix-cli reconcile --schema-name " ""
expect "kalvix-cli compare --dialect " $'lab_1.txt\nlab_2.txt\nmy folder\nschemas\ntree:ACME-CORP\ntree:GLOBEX\ntree:INITECH-DS\ntree:INITECH-LDAP'
# Files for a tree operand; tree: joins them when it could still be typed.
expect "kalvix-cli compare lab" $'lab_1.txt\nlab_2.txt'
expect "kalvix-cli compare schemas/" "schemas/acme.txt"
expect "kalvix-cli compare t" $'tree:ACME-CORP\ntree:GLOBEX\ntree:INITECH-DS\ntree:INITECH-LDAP'
# The trees as kalvix-cli trees lists them; the part before the colon stays as typed.
expect "kalvix-cli compare tree:" $'ACME-CORP\nGLOBEX\nINITECH-DS\nINITECH-LDAP'
expect "kalvix-cli compare tree:A" "ACME-CORP"
expect "kalvix-cli compare lab_1.txt tree:G" "GLOBEX"
# In any letter case, as kalvix-cli takes the name.
expect "kalvix-cli compare --format json lab_1.txt tree:a" "ACME-CORP"
# No third operand, and save reads a live tree, then writes a file.
expect "kalvix-cli compare lab_1.txt lab_2.txt lab" ""
expect "kalvix-cli save tree:ACME" "ACME-CORP"
expect "kalvix-cli save lab" ""
expect "kalvix-cli save tree:ACME-CORP lab" $'lab_1.txt\nlab_2.txt'
expect "kalvix-cli show lab_1.txt Pers" ""
# reconcile takes live trees only, two of them, wherever its options' values stand.
expect "kalvix-cli reconcile " $'tree:ACME-CORP\ntree:GLOBEX\ntree:INITECH-DS\ntree:INITECH-LDAP'
expect "kalvix-cli reconcile lab" ""
expect "kalvix-cli reconcile --dialect openldap tree:ACME-CORP tree:G" "GLOBEX"
expect "kalvix-cli reconcile --schema-name acme tree:ACME-CORP --include-changed tree:" $'ACME-CORP\nGLOBEX\nINITECH-DS\nINITECH-LDAP'
expect "kalvix-cli reconcile tree:ACME-CORP tree:GLOBEX tree:" ""
# survey: a baseline and any number of trees, wherever its options' values stand.
expect "kalvix-cli survey --" $'--all-trees\n--details\n--format\n--help\n--ignore\n--jobs\n--quiet\n--version'
expect "kalvix-cli survey --jobs " ""
expect "kalvix-cli survey --jobs 4 lab_1.txt tree:ACME-CORP tree:GLOBEX tree:I" $'INITECH-DS\nINITECH-LDAP'
expect "kalvix-cli survey lab_1.txt lab_2.txt lab" $'lab_1.txt\nlab_2.txt'
# After --, a dash begins an operand, not an option.
expect "kalvix-cli compare -- --" ""
# The window takes the same two operands.
expect "kalvix tree:GL" "GLOBEX"
expect "kalvix lab_1.txt lab" $'lab_1.txt\nlab_2.txt'
expect "kalvix --v" "--version"
# A client that cannot start offers no trees and says nothing.
KALVIX_CLIENT=/nonexistent/kalvix-client.json expect "kalvix-cli quick tree:" ""

if ((failures > 0)); then
    echo "$failures completion case(s) failed"
    exit 1
fi
echo "all completion cases passed"
