#!/bin/sh
# Rules of the layers that no compiler checks, run as tests:
#   check_layers.sh SOURCE_DIR real-services  the state and view layers never make a service that
#                                             reaches the world (the trash, git, the process list,
#                                             the scan engine, the volume); the composition root
#                                             in src/app/composition does
#   check_layers.sh SOURCE_DIR view-includes  no view includes a header of src/services or
#                                             src/platform: views reach the core through the
#                                             state layer and the plain records of src/models
#   check_layers.sh SOURCE_DIR decision-index docs/README.md lists every decision record, and
#                                             names none that is gone
set -u
cd "$1" || exit 2
case "$2" in
  real-services)
    pattern='make_(shared|unique)<(TrashService|CacheScanService|ProcProcessSource|CommandProcessSource|HistoryStore)>'
    pattern="$pattern|(^|[^A-Za-z0-9_:])(TrashService|CacheScanService|ProcProcessSource|CommandProcessSource|InUseDetector)[[:space:]]+[a-z][A-Za-z0-9_]*[[:space:]]*[({;]"
    pattern="$pattern|GitService::|defaultProcessSource|snapshotOwners|ProcessSnapshot::capture|VolumeService::"
    hits=$(grep -rnE "$pattern" src/viewmodels src/views)
    what="makes a real service outside the composition root"
    ;;
  view-includes)
    hits=$(grep -rnE '#include[[:space:]]+"(services|platform)/' src/views)
    what="includes a service or platform header in a view"
    ;;
  decision-index)
    hits=$(for record in docs/decisions/*.md; do
             grep -q "(decisions/$(basename "$record"))" docs/README.md || echo "$record"
           done
           grep -o '(decisions/[^)]*)' docs/README.md | tr -d '()' | while read -r listed; do
             [ -f "docs/$listed" ] || echo "docs/$listed"
           done)
    what="a decision record missing from docs/README.md, or listed there and gone"
    ;;
  *)
    echo "unknown check: $2" >&2
    exit 2
    ;;
esac
if [ -n "$hits" ]; then
  echo "$hits" | sed "s|^|$what: |"
  exit 1
fi
exit 0
