#!/bin/bash
# The Debian package CPack makes of this build tree: its files, its
# dependencies, and the saver run from it unpacked, under Xvfb.
# usage: package_test.sh BUILD-DIR VERSION
BUILD=$1
VERSION=$2
. "$(dirname "$0")/xvfb.sh"
export VANTREL_REGISTRY="$WORK/registry.reg"

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1 || fail "cpack: $(tail "$WORK/cpack.log")"
deb="$WORK/package/vantrel_${VERSION}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$WORK/package")"

# These files and no others; in XScreenSaver's hack directory, a link to the program on the PATH.
files=$(dpkg -c "$deb" | awk '$1 !~ /^d/ {print $6, $7, $8}' | sort)
expected="./usr/bin/vantrel  
./usr/libexec/xscreensaver/vantrel -> ../../bin/vantrel
./usr/share/doc/vantrel/LICENSE  
./usr/share/doc/vantrel/README.md  
./usr/share/man/man6/vantrel.6.gz  
./usr/share/xscreensaver/config/vantrel.xml  "
[ "$files" = "$expected" ] || fail "the package holds: $files"

# Depends names the package of every library the program needs, as dpkg knows them.
dpkg -x "$deb" "$WORK/root"
depends=$(dpkg-deb -f "$deb" Depends)
for library in $(readelf -d "$WORK/root/usr/bin/vantrel" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$WORK/root/usr/bin/vantrel" | awk -v name="$library" '$1 == name {print $3}')
    package=$( (dpkg -S "$path" || dpkg -S "/usr$path") 2>/dev/null | sed 's/:.*//') # /lib is /usr/lib
    [ -n "$package" ] || fail "no package holds $library ($path)"
    case ", $depends" in
    *", $package"*) ;;
    *) fail "Depends ($depends) lacks $package, which holds $library" ;;
    esac
done

# Every option the XScreenSaver settings can give is taken, at both ends of its range; one past it is refused.
xml=$(tr '\n' ' ' <"$WORK/root/usr/share/xscreensaver/config/vantrel.xml")
saver="$WORK/root/usr/libexec/xscreensaver/vantrel"
for option in $(grep -o 'arg[a-z-]*="-[a-z-]*"' <<<"$xml" | sed 's/.*="\(.*\)"/\1/'); do
    "$saver" $option --version >/dev/null || fail "$option from the config file is refused"
done
numbers=$(grep -o '<number [^>]*>' <<<"$xml" | sed 's/.*arg="\([^ ]*\) %".*low="\([0-9]*\)" high="\([0-9]*\)" default="\([0-9]*\)".*/\1 \2 \3 \4/')
[ "$(wc -l <<<"$numbers")" = 2 ] || fail "not two numbers in the config file: $numbers"
while read -r option low high default; do
    "$saver" $option $low $option $high --version >/dev/null || fail "$option $low or $high is refused"
    "$saver" $option $((high + 1)) 2>/dev/null && fail "$option $((high + 1)) is taken"
    printf -v "default_${option#-}" '%02x' "$default"
done <<<"$numbers"

# The unpacked saver runs from the hack directory as XScreenSaver starts it, and ends on SIGTERM with 0.
start_xvfb 320x240x24
SAVER=$saver start_saver -root
eventually 5 lit 320x240+0+0 || fail "the unpacked saver drew nothing"
kill -TERM $SAVER_PID
expect_exit $SAVER_PID 3 0 "SIGTERM did not end the unpacked saver with 0"

# Its first run stored the defaults, which are the config file's.
for value in "Speed=hex:$default_speed" "Pulses=hex:$default_pulses" "Reflections=hex:01" "Showfps=hex:01"; do
    grep -qx "\"${value/=/\"=}" "$VANTREL_REGISTRY" || fail "the config file's default $value is not the program's: $(cat "$VANTREL_REGISTRY")"
done

echo "PASS package"
