# Shared by the set-up scripts (sourced): what apt says, in a few lines.

# apt-get update with the given options. An index that cannot be read (a
# mirror in the middle of a sync) is one line, and the lists that were
# fetched are used. LABEL names the update in that line; LOG gets apt's output.
update_lists() {  # LABEL LOG [apt options...]
    local label=$1 log=$2
    shift 2
    if ! apt-get "$@" update -qq >"$log" 2>&1; then
        echo "setup: $label could not read every index, going on with the lists it has" \
             "($(grep -m1 '^E:' "$log" | cut -c1-160))"
    fi
}

# apt's reason for a failure, from its output in LOG, indented, on stderr.
apt_reason() {  # LOG
    grep -E '^(E:| .*(Depends|Breaks|Conflicts):)' "$1" | sed 's/^/    /' >&2 \
        || tail -n 5 "$1" | sed 's/^/    /' >&2
}
