# Sourced by the install tests. need TOOL PACKAGE: returns when the tool is there; exits 77
# (skipped) when the package cannot be installed here, and fails when it merely is not yet.
need() {
    command -v "$1" >/dev/null && return 0
    if apt-cache policy "$2" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        echo "FAIL: $1 is missing: install $2 (scripts/install-deps.sh)"
        exit 1
    fi
    echo "SKIP: $1 is missing and $2 cannot be installed here"
    exit 77
}

fail() {
    echo "FAIL: $*"
    status=1
}
