#!/bin/sh
# Checks that a TXDECODE.dll exports exactly dbDecode, dbFreeDecoder and
# dbInitDecoder under their plain names (no @N decoration), nothing else.
# Usage: check_exports.sh OBJDUMP DLL
objdump=$1
dll=$2
if [ ! -f "$dll" ]; then
    echo "missing $dll (build that preset first)" >&2
    exit 1
fi
names=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="dbDecode dbFreeDecoder dbInitDecoder "
if [ "$names" != "$expected" ]; then
    echo "$dll exports: '$names', expected: '$expected'" >&2
    exit 1
fi
echo "$dll exports: $names"
