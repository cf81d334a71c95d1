# Shared by the packaging tests: every case is reported, and the script fails
# at the end if any case did.

failures=0

# expect_eq NAME WANT GOT
expect_eq() {
    if [[ $2 == "$3" ]]; then
        printf 'ok   %s\n' "$1"
    else
        printf 'FAIL %s\n     want: %s\n     got:  %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

# expect_true NAME COMMAND...
expect_true() {
    local name=$1
    shift
    if "$@"; then
        printf 'ok   %s\n' "$name"
    else
        printf 'FAIL %s\n     command failed: %s\n' "$name" "$*"
        failures=$((failures + 1))
    fi
}

finish() {
    if ((failures)); then
        printf '%d failing case(s)\n' "$failures"
        exit 1
    fi
    printf 'all cases passed\n'
}

# CTest reports this status as a skipped test.
skip() {
    printf 'SKIP: %s\n' "$1"
    exit 77
}
