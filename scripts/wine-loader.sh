# Sourced: orvandel_wine_loader PROGRAM prints the Wine loader for a Windows
# program, by its PE header's machine field: wine64 for PE32+ (x86_64), the
# 32-bit loader for PE32. /usr/bin/wine would start the 32-bit loader first
# even for a 64-bit program, which costs a minute where 32-bit programs run
# only under emulation.
orvandel_wine_loader() {
  local file=$1 offset machine=""
  case $file in [A-Za-z]:*) file=${file#?:} ;; esac
  offset=$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] && machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" 2>/dev/null | tr -d ' ')
  case $machine in
    8664) echo "${ORVANDEL_WINE64:-/usr/lib/wine/wine64}" ;;
    *) echo "${ORVANDEL_WINE32:-/usr/lib/wine/wine}" ;;
  esac
}

# Whether this machine runs 32-bit Linux programs (32-bit Wine among them)
# natively: its kernel executes them, and no emulator is registered for them.
orvandel_runs_32bit_natively() {
  local entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -e "$entry" ] && head -1 "$entry" | grep -qx enabled; then return 1; fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
