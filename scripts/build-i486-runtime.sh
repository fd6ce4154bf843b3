#!/usr/bin/env bash
# Builds the compiler runtime that MORVIT.EXE links statically for the i486, and prints the folder that
# holds it: the mingw-w64 start-up code and C runtime pieces (crt2.o, dllcrt2.o, libmingw32, libmingwex,
# libmsvcrt, libmoldname) and GCC's libgcc, libgcc_eh, crtbegin/crtend, libstdc++ and libsupc++.
#
# Debian builds these for the i686, whose CMOV and FCOMI a 486, Pentium (MMX), K5, K6, 6x86, WinChip or
# Vortex86 lacks, and links them into every program before main runs. They are rebuilt here from Debian's
# own sources of the installed cross compiler (gcc-N-source, with the Debian patches that touch the
# runtime, and the mingw-w64 source package with all of its patches), configured as Debian configures
# i686-w64-mingw32-g++-win32 (win32 threads, DWARF-2 exceptions, shared and static), compiled with
# -march=i486. Only the libraries a static link needs are built, and with Debian's own cc1 and cc1plus:
# GCC's driver is built to run them, never the compiler proper.
#
# The result goes to a cache outside the checkout, one folder per source versions and build settings,
# and is reused by every later build on this machine; a new version of the cross compiler or of
# mingw-w64 gets a folder of its own. Before the result is kept, every archive must define the same
# symbols as the installed one and libstdc++'s generated c++config.h must equal the installed header:
# the libraries then fit the headers every MORVIT source is compiled with.
#
#   build-i486-runtime.sh        build when missing (progress on standard error), print the folder
# Environment: MORVIT_RUNTIME_CACHE (default ~/.cache/morvit), MORVIT_JOBS (default: all cores).
set -euo pipefail

# Called from CMake's configure step, whose environment names the Win32 compiler in CC and CXX: the
# runtime's build chooses its own host and target compilers.
unset CC CXX CPP CFLAGS CXXFLAGS CPPFLAGS LDFLAGS MAKEFLAGS MFLAGS

target=i686-w64-mingw32
target_flags="-O2 -march=i486"
# The options of `i686-w64-mingw32-gcc-win32 -v`, less those about other languages and libraries
# (fortran, objc, ada, libgomp, libatomic): they change nothing in libgcc or libstdc++.
# shellcheck disable=SC2054 # the commas belong to --enable-languages
gcc_configure=(
  --build=x86_64-linux-gnu --prefix=/usr --disable-option-checking --disable-silent-rules
  --disable-maintainer-mode --disable-dependency-tracking --enable-shared --enable-static
  --disable-multilib --with-system-zlib --libexecdir=/usr/lib --without-included-gettext --libdir=/usr/lib
  --enable-libstdcxx-time=yes --with-tune=generic --with-headers --enable-version-specific-runtime-libs
  --enable-fully-dynamic-string --enable-languages=c,c++ --enable-lto --enable-threads=win32
  --program-suffix=-win32 "--program-prefix=$target-" "--target=$target" "--with-as=/usr/bin/$target-as"
  "--with-ld=/usr/bin/$target-ld" --enable-libstdcxx-filesystem-ts=yes --disable-sjlj-exceptions --with-dwarf2
)
# As the mingw-w64 source package configures its CRT for the 32-bit target.
crt_configure=("--host=$target" "--target=$target" "--prefix=/usr/$target" --disable-lib64 --enable-lib32)
# Of gcc-N-source's patches, the ones Debian's cross compiler applies that touch libgcc or libstdc++
# (cuda-float128: the C++ headers), and the one without which gcc/ does not build from the DFSG tarball.
gcc_patches=(gcc-gfdl-build cuda-float128)
# std::random_device's RDRAND and RDSEED sources, which configure finds the assembler able to emit, are left
# out: GCC expands their step with a CMOV, which would put a P6 instruction in every program that links the
# C++ library (its exceptions pull in random.o). MORVIT uses no random device. The only difference this
# makes to c++config.h is the two macros that say so, which nothing in the headers reads.
libstdcxx_answers=(ac_cv_x86_rdrand=no ac_cv_x86_rdseed=no)
crt_files=(crt2.o dllcrt2.o libmingw32.a libmingwex.a libmsvcrt.a libmoldname.a)
gcc_files=(crtbegin.o crtend.o libgcc.a libgcc_eh.a libstdc++.a libsupc++.a)

start=$SECONDS
progress() { printf 'i486 runtime: [%d:%02d] %s\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)) "$*" >&2; }
fail() { printf 'i486 runtime: %s\n' "$*" >&2; exit 1; }
# Runs a stage's commands with their output in a log, which is shown in part when they fail.
logged() {
  local log=$work/$1.log
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    fail "failed; the whole log is $log"
  fi
}

in_folder() { (cd "$1" && shift && "$@"); }
version_of() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || fail "package $1 is not installed"; }
compiler_version=$(version_of g++-mingw-w64-i686-win32)   # e.g. 12.2.0-14+deb12u1+25.2+b1
gcc_version=${compiler_version%+b[0-9]*}                       # less a binary-only rebuild's suffix
gcc_version=${gcc_version%+*}                                  # less gcc-mingw-w64's own version
gcc_major=${gcc_version%%.*}
gcc_upstream=${gcc_version%-*}
mingw_version=$(version_of mingw-w64-i686-dev)             # e.g. 10.0.0-3
base_version=$($target-gcc-win32 -dumpversion)                 # 12-win32
debian_libexec=/usr/lib/gcc/$target/$base_version

settings="gcc-$gcc_major-source $gcc_version | mingw-w64 $mingw_version | $target_flags | ${gcc_configure[*]} | \
${crt_configure[*]} | ${gcc_patches[*]} | ${libstdcxx_answers[*]} | ${crt_files[*]} ${gcc_files[*]}"
key=$(printf '%s' "$settings" | sha256sum | cut -c1-12)
cache=${MORVIT_RUNTIME_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morvit}
result=$cache/i486-runtime-$key
mkdir -p "$cache"

# One build at a time per cache: a second caller waits, then finds the result.
exec 9>"$cache/lock"
flock 9
if [ -f "$result/SETTINGS" ]; then
  echo "$result"
  exit 0
fi

progress "building for gcc $gcc_version and mingw-w64 $mingw_version into $result (about 10 minutes once)"
work=$cache/work-$key
rm -rf "$work" "$result.tmp"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache" "$work/apt/sources.list.d"
jobs=${MORVIT_JOBS:-$(nproc)}

progress "fetching gcc-$gcc_major-source $gcc_version"
(cd "$work" && apt-get download -q -o APT::Sandbox::User=root "gcc-$gcc_major-source=$gcc_version" >/dev/null 2>&1) ||
  fail "cannot fetch Debian's package gcc-$gcc_major-source version $gcc_version (the sources of the installed cross compiler)"

progress "fetching the mingw-w64 $mingw_version source package"
# The machine's own Debian sources, as deb-src entries in a private apt state: the system's apt
# sources and lists stay as they are.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && sed -n 's/^deb[[:space:]]/deb-src /p' "$f"
done >"$work/apt/sources.list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/sources.list.d/$(basename "$f")"
done
private_apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o APT::Sandbox::User=root)
(cd "$work" && apt-get "${private_apt[@]}" -q update >"$work/apt-update.log" 2>&1 &&
  apt-get "${private_apt[@]}" -q source "mingw-w64=$mingw_version" >"$work/apt-source.log" 2>&1) ||
  fail "cannot fetch Debian's source package mingw-w64 version $mingw_version (see $work/apt-source.log)"

progress "unpacking gcc $gcc_upstream and applying Debian's patches ${gcc_patches[*]}"
gcc_src=$work/gcc-src
source_deb=("$work"/gcc-"$gcc_major"-source_*.deb)
logged unpack-gcc dpkg-deb -x "${source_deb[0]}" "$work/gcc-source"
shared=$work/gcc-source/usr/src/gcc-$gcc_major
mkdir -p "$gcc_src"
# Test suites and languages that are not built are left out: a third of the time and most of the space.
logged unpack-gcc tar -xf "$shared"/gcc-*.tar.* -C "$gcc_src" --strip-components=1 \
  --exclude='*/gcc/testsuite' --exclude='*/libgo' --exclude='*/libphobos' --exclude='*/gcc/ada'
for patch in "${gcc_patches[@]}"; do
  logged "patch-$patch" patch -p2 -d "$gcc_src" -i "$shared/patches/$patch.diff"
done
echo "$base_version" >"$gcc_src/gcc/BASE-VER"

progress "configuring gcc"
gcc_build=$work/gcc-build
mkdir -p "$gcc_build"
export CFLAGS_FOR_TARGET="$target_flags" CXXFLAGS_FOR_TARGET="$target_flags"
logged configure-gcc in_folder "$gcc_build" "$gcc_src/configure" "${gcc_configure[@]}"
logged configure-gcc make -C "$gcc_build" -j"$jobs" configure-gcc

progress "building gcc's driver (the compiler proper is Debian's own cc1 and cc1plus)"
logged driver make -C "$gcc_build" -j"$jobs" all-build-libiberty all-build-libcpp all-build-fixincludes \
  all-libiberty all-libcpp all-libbacktrace all-libdecnumber
logged driver make -C "$gcc_build/gcc" -j"$jobs" xgcc xg++ cpp
for tool in cc1 cc1plus collect2 lto-wrapper lto1; do
  ln -sf "$debian_libexec/$tool" "$gcc_build/gcc/$tool"
done
# configure looks for the target's headers in /usr/i686-w64-mingw32/sys-include, which Debian does not
# have, and would build libgcc as if there were no C library (inhibit_libc); Debian's libgcc has one.
# -o keeps make from building the compiler proper in place of the links above.
no_compiler=(-o cc1 -o cc1plus -o collect2 -o lto-wrapper -o lto1)
logged driver make -C "$gcc_build/gcc" -j"$jobs" "${no_compiler[@]}" inhibit_libc=false INHIBIT_LIBC_CFLAGS= \
  libgcc-support

progress "building libgcc"
logged libgcc make -C "$gcc_build" -j"$jobs" -o all-gcc all-target-libgcc
progress "building libstdc++"
logged libstdc++ env "${libstdcxx_answers[@]}" make -C "$gcc_build" -j"$jobs" -o all-gcc all-target-libstdc++-v3

progress "building the mingw-w64 CRT"
crt_src=("$work"/mingw-w64-*/mingw-w64-crt)
crt_build=$work/crt-build
mkdir -p "$crt_build/lib32"
# The package's patches change Makefile.am; Debian regenerates the build system the same way.
logged crt in_folder "${crt_src[0]}" autoreconf -fi
logged crt in_folder "$crt_build" env CC="$target-gcc-win32" CFLAGS="$target_flags" \
  "${crt_src[0]}/configure" "${crt_configure[@]}"
crt_targets=()
for f in "${crt_files[@]}"; do crt_targets+=("lib32/$f"); done
logged crt make -C "$crt_build" -j"$jobs" "${crt_targets[@]}"

progress "checking the libraries against the installed ones"
mkdir -p "$result.tmp"
for f in "${crt_files[@]}"; do cp "$crt_build/lib32/$f" "$result.tmp/"; done
libgcc_build=$gcc_build/$target/libgcc
libstdcxx_build=$gcc_build/$target/libstdc++-v3
cp "$libgcc_build"/{crtbegin.o,crtend.o,libgcc.a,libgcc_eh.a} "$libstdcxx_build/src/.libs/libstdc++.a" \
  "$libstdcxx_build/libsupc++/.libs/libsupc++.a" "$result.tmp/"
defined_symbols() { "$target-nm" "$1" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TDRBWI]$/ {print $2, $3}' | sort; }
# Where the driver finds them: GCC's own folder first (mingw-w64 has a crtbegin.o of its own too).
for f in "${crt_files[@]/#//usr/$target/lib/}" "${gcc_files[@]/#/$debian_libexec/}"; do
  if ! cmp -s <(defined_symbols "$result.tmp/${f##*/}") <(defined_symbols "$f"); then
    fail "${f##*/} does not define the same symbols as $f: the build is not configured as Debian's"
  fi
done
config_header=$target/bits/c++config.h
without_random_sources() { grep -v '_GLIBCXX_X86_RD\(RAND\|SEED\)' "$1"; }
cmp -s <(without_random_sources "$libstdcxx_build/include/$config_header") \
  <(without_random_sources "$debian_libexec/include/c++/$config_header") ||
  fail "libstdc++'s c++config.h differs from the installed one: the build is not configured as Debian's"

printf '%s\n' "$settings" >"$result.tmp/SETTINGS"
mv "$result.tmp" "$result"
rm -rf "$work"
progress "done"
echo "$result"
