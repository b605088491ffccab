# Sourced by tools/windows/package and tools/windows/check-installer: reading
# tools/windows/payload.txt, the list of what the Windows folder holds.
payload_list="$(dirname "${BASH_SOURCE[0]}")/payload.txt"
# The read-me for players, at the folder's top.
readonly README_NAME="はじめにお読みください.txt"

# Prints each entry as "KIND<TAB>PATTERN"; a line that is neither fails, so that a typo never
# silently drops a file from the release.
payload_entries() {
  local line kind pattern n=0
  while IFS= read -r line || [[ -n "$line" ]]; do
    n=$((n + 1))
    [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
    if [[ ! "$line" =~ ^(need|may)[[:space:]]+(.*[^[:space:]])[[:space:]]*$ ]]; then
      echo "payload.txt:$n: not 'need PATTERN' or 'may PATTERN': $line" >&2
      return 1
    fi
    kind="${BASH_REMATCH[1]}" pattern="${BASH_REMATCH[2]}"
    case "$pattern" in
      bin/* | share/locale/*) ;;
      *) echo "payload.txt:$n: $pattern is neither under bin/ nor share/locale/" >&2; return 1 ;;
    esac
    printf '%s\t%s\n' "$kind" "$pattern"
  done <"$payload_list"
}

# Where a file of the build tree goes in the folder: bin/ to the top, share/locale/ to locale/.
payload_destination() {
  case "$1" in
    bin/*) printf '%s\n' "${1#bin/}" ;;
    share/locale/*) printf '%s\n' "locale/${1#share/locale/}" ;;
    *) return 1 ;;
  esac
}

# True when PATH matches PATTERN with wildcards that stay within one folder (bash's own matching
# lets * take a /).
payload_match() {
  local path="$1" pattern="$2"
  local slashes_path="${path//[^\/]/}" slashes_pattern="${pattern//[^\/]/}"
  [[ ${#slashes_path} == "${#slashes_pattern}" ]] || return 1
  # shellcheck disable=SC2053  # the pattern is meant to match as a pattern
  [[ "$path" == $pattern ]]
}

# Prints, NUL-terminated, the files of the build tree BUILD that PATTERN names, sorted.
payload_matches() {
  local build="$1" pattern="$2" folder rest path
  # The fixed part of the pattern is the folder to look in, the wildcards are matched below it
  # at the pattern's depth. Anything that matches is printed, folders and FIFOs too, for the
  # caller to refuse.
  folder="${pattern%%[*?[]*}"
  folder="${folder%/*}"
  [[ -d "$build/$folder" ]] || return 0
  local below="${pattern#"$folder"}"
  below="${below//[^\/]/}"
  while IFS= read -r -d '' path; do
    rest="${path#"$build"/}"
    payload_match "$rest" "$pattern" && printf '%s\0' "$path"
  done < <(find "$build/$folder" -mindepth "${#below}" -maxdepth "${#below}" -print0 | LC_ALL=C sort -z)
}

# True when a path (relative, with /) is one Windows can hold and the installer's script can name:
# no control characters, none of < > : " \ | ? * (nor $ and `, which the installer's script would
# read as its own), no part ending in a dot or a space.
payload_name_ok() {
  local part parts
  [[ "$1" != *[[:cntrl:]]* && "$1" != *[\<\>:\"\\\|\?\*\$\`]* ]] || return 1
  IFS=/ read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    [[ -n "$part" && "$part" != *. && "$part" != *' ' ]] || return 1
  done
}

# True when PATH (relative to the folder) is something the folder may hold: an entry of the
# payload, the read-me or a licence.
payload_allows() {
  local path="$1" kind pattern dest
  [[ "$path" == "$README_NAME" ]] && return 0
  payload_match "$path" 'licenses/*.txt' && return 0
  while IFS=$'\t' read -r kind pattern; do
    dest="$(payload_destination "$pattern")"
    payload_match "$path" "$dest" && return 0
  done < <(payload_entries)
  return 1
}
