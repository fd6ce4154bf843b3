# shellcheck shell=bash
# Whether this host can execute 32-bit x86 Linux programs, which Wine's 32-bit side is. Sourced by every script
# that would start Wine (run.sh, wine-run.sh, test.sh and the Win32 tests' wrapper), so that all of them give
# one answer. Some kernels run 64-bit user code only (booted with ia32_emulation=off, some cloud and container
# hosts, WSL1): every i386 program then fails with "Exec format error" and wine exits 126, saying no more.
#
# MORVIT_HOST_32BIT=no forces the answer "cannot" and =yes forces "can", so that the scripts' behaviour on such
# a host can be seen on any host.

# The status a script exits with when it stops because this host cannot run Wine (sysexits' EX_UNAVAILABLE).
# shellcheck disable=SC2034 # used by the scripts that source this file
host32_unavailable=69

host_runs_32bit() {
  case "${MORVIT_HOST_32BIT:-}" in
    no) return 1 ;;
    yes) return 0 ;;
  esac
  # The 32-bit dynamic loader is an i386 program itself, and wine32 depends on it.
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Where Wine runs instead, for the callers' "what to do".
# shellcheck disable=SC2034 # used by the scripts that source this file
host32_elsewhere="a Linux that runs 32-bit programs (WSL2, a kernel with IA-32 emulation on)"

# Why Wine cannot run here and how to see it, on standard error, each line after NAME; the caller says what to do.
explain_no_32bit() {
  local name=$1
  {
    echo "$name: this host cannot execute 32-bit x86 Linux programs, so Wine cannot start MORVIT.EXE here."
    if [ "${MORVIT_HOST_32BIT:-}" = no ]; then
      echo "  (MORVIT_HOST_32BIT=no forces this answer.)"
    fi
    if [ -e /lib/ld-linux.so.2 ]; then
      echo "  How to see it: '/lib/ld-linux.so.2 --version' fails with \"Exec format error\"; the kernel log"
      echo "  (dmesg) says \"IA-32 emulation off\" when the kernel was booted with ia32_emulation=off, and WSL1"
      echo "  never runs 32-bit Linux programs."
    else
      echo "  The 32-bit C library is missing (/lib/ld-linux.so.2): scripts/install-deps.sh installs it."
    fi
  } >&2
}
