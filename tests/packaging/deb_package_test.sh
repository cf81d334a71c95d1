#!/usr/bin/env bash
# Usage: deb_package_test.sh BUILD_DIR SOURCE_DIR VERSION static|dynamic
# Builds the Debian package with CPack from the build directory and checks
# its control fields and its files against the build itself.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$1
source_dir=$2
version=$3
linkage=$4

command -v dpkg-deb >/dev/null || skip "dpkg-deb is not installed"
command -v cpack >/dev/null || skip "cpack is not installed"
arch=$(dpkg --print-architecture)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL cpack -G DEB"
    exit 1
fi
deb=$work/out/nimbro_${version}-1_${arch}.deb
expect_true "package file name nimbro_${version}-1_${arch}.deb" test -f "$deb"
[[ -f $deb ]] || finish

field() { dpkg-deb -f "$deb" "$1"; }
expect_eq "Package" "nimbro" "$(field Package)"
expect_eq "Version" "$version-1" "$(field Version)"
expect_eq "Architecture" "$arch" "$(field Architecture)"
expect_eq "Section" "net" "$(field Section)"
expect_eq "Priority" "optional" "$(field Priority)"
expect_true "Maintainer has a name and an address ($(field Maintainer))" \
    grep -qE '^[^<]+ <[^@> ]+@[^> ]+>$' <<<"$(field Maintainer)"
expect_eq "Description summary" \
    "entra numa rede overlay privada e administra o servidor de controle" \
    "$(field Description | head -n 1)"
expect_true "Description has a long text" test "$(field Description | wc -l)" -gt 3
if [[ $linkage == static ]]; then
    # dpkg-shlibdeps found no shared library to depend on.
    expect_eq "Depends of the static binary" "" "$(field Depends)"
else
    expect_true "Depends of the dynamic binary names libc6 ($(field Depends))" \
        grep -q 'libc6' <<<"$(field Depends)"
fi

# Type, mode, owner and path of every regular file; directories apart.
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | LC_ALL=C sort)
want="-rw-r--r-- root/root ./usr/share/bash-completion/completions/nimbro
-rw-r--r-- root/root ./usr/share/doc/nimbro/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/nimbro/copyright
-rw-r--r-- root/root ./usr/share/man/man1/nimbro.1.gz
-rw-r--r-- root/root ./usr/share/nimbro/cell/.env.example
-rw-r--r-- root/root ./usr/share/nimbro/cell/compose.yml
-rw-r--r-- root/root ./usr/share/nimbro/cell/config.yaml
-rwxr-xr-x root/root ./usr/share/nimbro/cell/backup
-rw-r--r-- root/root ./usr/share/zsh/vendor-completions/_nimbro
-rwxr-xr-x root/root ./usr/bin/nimbro"
[[ $linkage == static ]] && want+="
-rw-r--r-- root/root ./usr/share/lintian/overrides/nimbro"
expect_eq "files of the package" "$(LC_ALL=C sort <<<"$want")" "$listing"
expect_eq "no empty site-functions directory" "" \
    "$(dpkg-deb -c "$deb" | awk '{print $6}' | grep site-functions || true)"

dpkg-deb -x "$deb" "$work/root"
expect_eq "packaged binary prints the usage text" "$("$build/nimbro" help)" \
    "$("$work/root/usr/bin/nimbro" help)"
if command -v file >/dev/null; then
    expect_true "packaged binary is stripped" \
        bash -c "! file -b '$work/root/usr/bin/nimbro' | grep -q 'not stripped'"
fi
expect_true "packaged manual page is the source page" \
    cmp -s <(gzip -dc "$work/root/usr/share/man/man1/nimbro.1.gz") "$source_dir/man/nimbro.1"
expect_true "packaged bash completion is the source script" \
    cmp -s "$work/root/usr/share/bash-completion/completions/nimbro" "$source_dir/completions/nimbro.bash"
expect_true "packaged zsh completion is the source script" \
    cmp -s "$work/root/usr/share/zsh/vendor-completions/_nimbro" "$source_dir/completions/_nimbro"
expect_true "the copyright file carries the licence" \
    bash -c "sed -n 's/^ //p' '$work/root/usr/share/doc/nimbro/copyright' | sed 's/^\\.\$//' | cmp -s - '$source_dir/LICENSE'"
expect_true "the changelog's latest entry is this version" \
    bash -c "gzip -dc '$work/root/usr/share/doc/nimbro/changelog.Debian.gz' | head -n 1 | grep -qF 'nimbro ($version-1) '"
if command -v lintian >/dev/null; then
    lintian "$deb" >"$work/lintian.log" 2>&1 || true
    expect_eq "lintian reports no errors" "" "$(grep '^E: ' "$work/lintian.log" || true)"
fi
for f in compose.yml config.yaml .env.example backup; do
    expect_true "packaged cell/$f is the source file" \
        cmp -s "$work/root/usr/share/nimbro/cell/$f" "$source_dir/cell/$f"
done

finish
