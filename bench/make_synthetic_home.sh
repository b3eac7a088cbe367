#!/usr/bin/env bash
# Writes a reproducible synthetic home folder for the discovery and scan benchmarks: projects of
# several kinds with their build folders, agent worktrees with their git records, and a populated
# set of package and tool caches. The items hold files with real sizes (about 100 KB for each
# project), so a scan's sizing pass has something to read.
#
#   bench/make_synthetic_home.sh DEST [PROJECTS] [WORKTREES]
#
# DEST must not exist yet. PROJECTS defaults to 300, WORKTREES to 20 (half inside repositories'
# ".claude/worktrees", half in the agents' own folders).
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 DEST [PROJECTS] [WORKTREES]" >&2
  exit 2
fi
dest=$1
projects=${2:-300}
worktrees=${3:-20}
if [ -e "$dest" ]; then
  echo "$dest exists already; choose a new folder" >&2
  exit 1
fi
mkdir -p "$dest"
dest=$(cd "$dest" && pwd -P)
cd "$dest"

roots=(Documents Developer Projects code src repos work)

# A file of BYTES bytes that occupies blocks on disk (written, never sparse), without a process.
sized() {
  local file=$1 bytes=$2
  printf '%*s' "$bytes" '' >"$file"
}

# A few source folders with files, so that the walk has ordinary folders to list too.
sources() {
  local p=$1
  mkdir -p "$p"/src/{core,ui,util}/{a,b} "$p"/docs "$p"/tests
  touch "$p"/README.md "$p"/LICENSE "$p"/src/core/a/main.x "$p"/src/ui/b/view.x "$p"/docs/index.md
}

node_project() {
  local p=$1
  sources "$p"
  echo '{}' >"$p"/package.json
  touch "$p"/package-lock.json
  mkdir -p "$p"/node_modules/{react,lodash,typescript,@types/node,.bin}/lib "$p"/dist/assets
  sized "$p"/node_modules/react/lib/index.js 24576
  sized "$p"/node_modules/lodash/lib/lodash.js 16384
  sized "$p"/node_modules/typescript/lib/tsc.js 49152
  sized "$p"/dist/assets/app.js 12288
}

next_project() {
  local p=$1
  node_project "$p"
  touch "$p"/next.config.js
  mkdir -p "$p"/.next/{cache,server,static}
  sized "$p"/.next/cache/webpack.pack 32768
}

rust_project() {
  local p=$1
  sources "$p"
  touch "$p"/Cargo.toml "$p"/Cargo.lock
  mkdir -p "$p"/target/{debug,release}/{deps,build,incremental}
  sized "$p"/target/debug/deps/libcore.rlib 98304
  sized "$p"/target/release/deps/libcore.rlib 65536
}

python_project() {
  local p=$1
  sources "$p"
  touch "$p"/pyproject.toml
  mkdir -p "$p"/.venv/lib/python3.11/site-packages "$p"/pkg/{io,model,cli}/__pycache__ \
    "$p"/pkg/__pycache__ "$p"/tests/__pycache__ "$p"/dist
  touch "$p"/.venv/pyvenv.cfg
  sized "$p"/.venv/lib/python3.11/site-packages/module.py 65536
  sized "$p"/pkg/__pycache__/__init__.cpython-311.pyc 4096
}

cmake_project() {
  local p=$1
  sources "$p"
  touch "$p"/CMakeLists.txt
  mkdir -p "$p"/build/{CMakeFiles,bin,lib}
  touch "$p"/build/CMakeCache.txt
  sized "$p"/build/bin/app 81920
}

gradle_project() {
  local p=$1
  sources "$p"
  touch "$p"/build.gradle.kts "$p"/settings.gradle.kts
  mkdir -p "$p"/.gradle/8.5/fileHashes "$p"/build/{classes,libs,tmp}
  sized "$p"/.gradle/8.5/fileHashes/fileHashes.bin 20480
  sized "$p"/build/libs/app.jar 57344
}

kinds=(node_project rust_project python_project cmake_project gradle_project next_project)

# Projects spread over the seven search roots at depths 1 to 3, the way people group them.
for ((i = 0; i < projects; i++)); do
  root=${roots[$((i % ${#roots[@]}))]}
  case $((i % 3)) in
    0) path="$root/project-$i" ;;
    1) path="$root/group-$((i % 11))/project-$i" ;;
    2) path="$root/client-$((i % 5))/area-$((i % 4))/project-$i" ;;
  esac
  ${kinds[$((i % ${#kinds[@]}))]} "$path"
done

# Agent worktrees with the records git leaves: the worktree's ".git" file names the
# repository's record, whose "gitdir" names the worktree's ".git" back.
linked_worktree() {
  local repository=$1 worktree=$2
  local name
  name=$(basename "$worktree")
  mkdir -p "$worktree"/src "$repository"/.git/worktrees/"$name"
  touch "$worktree"/README.md
  echo "gitdir: $dest/$repository/.git/worktrees/$name" >"$worktree"/.git
  echo "$dest/$worktree/.git" >"$repository"/.git/worktrees/"$name"/gitdir
}

inside=$(((worktrees + 1) / 2))
for ((i = 0; i < inside; i++)); do
  repository="Projects/agent-repo-$((i % 4))"
  mkdir -p "$repository"/.git "$repository"/src
  touch "$repository"/README.md
  linked_worktree "$repository" "$repository/.claude/worktrees/task-$i"
done
tools=(.codex/worktrees .cursor/worktrees .grok/worktrees)
for ((i = inside; i < worktrees; i++)); do
  repository="code/tool-repo-$((i % 3))"
  mkdir -p "$repository"/.git
  folder=${tools[$((i % ${#tools[@]}))]}
  if ((i % 2 == 0)); then
    linked_worktree "$repository" "$folder/run-$i"
  else
    linked_worktree "$repository" "$folder/run-$i/tool-repo-$((i % 3))"
  fi
done

# The catalog's locations, populated.
mkdir -p .npm/_cacache/{content-v2,index-v5,tmp} .npm/_npx/abc \
  .local/share/pnpm/store/v3 .yarn/berry/cache .bun/install/cache \
  .cargo/registry/{cache,src}/index.crates.io go/pkg/mod/cache/download \
  .gradle/caches/modules-2 .m2/repository/org .composer/cache .gem/specs \
  .cache/{uv,pip,pre-commit,huggingface,whisper,puppeteer,ms-playwright,torch,ollama,lm-studio} \
  .cache/{mesa_shader_cache,fontconfig,thumbnails,chromium,mozilla,typescript,go-build,yarn} \
  .cache/codex-runtimes/{install-1,codex-runtime-install-2} .nvm/.cache \
  .codex/{log,cache,tmp,packages,sessions} .claude/{cache,paste-cache,debug,downloads,projects} \
  .claude/shell-snapshots Library/Caches/{pip,Homebrew,JetBrains,com.example.app} \
  Library/Caches/Google/Chrome Library/Logs/app \
  "Library/Developer/Xcode/DerivedData/App-abc" \
  "Library/Developer/Xcode/iOS DeviceSupport/"{"16.4 (20E247)","17.0 (21A329)","17.2 (21C62)"} \
  .local/share/Trash/{files,info} miniconda3/pkgs .asdf/installs
touch .npm/_cacache/index-v5/entry .cache/fontconfig/cache-7 .cache/.DS_Store
sized .local/share/Trash/files/old.txt 8192
for cache in .npm/_cacache/content-v2 .cargo/registry/cache/index.crates.io go/pkg/mod/cache/download \
  .cache/pip .cache/uv .cache/huggingface .gradle/caches/modules-2 .m2/repository/org \
  Library/Caches/Homebrew .cache/go-build; do
  for ((k = 0; k < 20; k++)); do sized "$cache/blob-$k" 65536; done
done

echo "$dest: $projects projects, $worktrees worktrees"
