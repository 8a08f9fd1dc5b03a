# Shared by scripts/test and scripts/run: installs what the build and the
# tests need and makes 32-bit Wine runnable. Sourced, not run.

STARTER_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

STARTER_PACKAGES=(
  cmake ninja-build g++ python3 libgtest-dev clang libclang-rt-14-dev
  g++-mingw-w64-i686 googletest
  wine wine32:i386 wine32-preloader:i386 fonts-wine
  xvfb xdotool x11-utils imagemagick fonts-dejavu-core
  python3-pil python3-pefile strip-nondeterminism clang-format clang-tidy
  unzip osslsigncode openssl locales
)

log() { printf '== %s\n' "$*"; }

# Installs whatever of the list is missing. The i386 architecture comes first:
# 32-bit Wine lives there.
ensure_packages() {
  local missing=() p
  for p in "${STARTER_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  log "installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The locales of the Windows side's locale tests: Wine takes a program's ANSI
# code page from the locale it starts in (en_US 1252, ja_JP 932, zh_CN 936,
# ko_KR 949, zh_TW 950), and a fresh machine has none of them. Makes those
# that are missing.
STARTER_LOCALES=(en_US ja_JP zh_CN ko_KR zh_TW)
ensure_locales() {
  local have name
  have=$(locale -a)
  for name in "${STARTER_LOCALES[@]}"; do
    grep -qix "$name\.utf-\?8" <<<"$have" && continue
    if [ "$(id -u)" != 0 ]; then
      echo "missing locale $name.UTF-8 (run as root to make it)" >&2
      return 1
    fi
    log "making the locale $name.UTF-8"
    localedef -i "$name" -f UTF-8 "$name.UTF-8" || return 1
  done
}

# binfmt_misc's rule that hands 32-bit x86 programs to qemu's user-mode
# emulator.
QEMU_I386_RULE=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

# Some kernels are booted without 32-bit emulation, so the 32-bit Wine
# loader cannot be executed directly. Then qemu's user-mode emulator is
# registered as the interpreter for 32-bit x86 programs; Wine's preloader
# makes Wine's address-space set-up quick under it.
ensure_i386_execution() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    return 0
  fi
  log "this kernel does not run 32-bit programs; registering qemu-i386 for them"
  ensure_packages qemu-user-static
  local misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
  [ -e "$misc/qemu-i386" ] && echo -1 > "$misc/qemu-i386"
  echo "$QEMU_I386_RULE" > "$misc/register"
  /usr/lib/wine/wine --version >/dev/null
}

# Runs a command with every 32-bit x86 program in it executed by qemu-i386,
# as on machines whose kernel cannot run them, so that a machine of the
# other sort can run the tests as those do. The rule lives in a user and
# mount namespace of the command's own, which nothing else sees; that takes
# a kernel whose binfmt_misc can be mounted there (6.7 or later), and gives
# 125 where it cannot.
run_emulating_i386() {
  unshare --user --map-root-user --mount --fork bash -c '
    misc=/proc/sys/fs/binfmt_misc
    { mount -t binfmt_misc binfmt_misc "$misc" && echo "$0" > "$misc/register"; } 2>/dev/null || exit 125
    exec "$@"' "$QEMU_I386_RULE" "$@"
}
