# Sourced by the real-window tests: skips (77) without the tools they need, and gives each a
# work directory that goes when it ends.
# Usage: source RealWindowPrelude.sh; require_tools TOOL...; then use $work.
require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
