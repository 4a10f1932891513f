#!/bin/sh
# Links for the Win32 removal tests under Wine. Wine cannot make a link of its own that shows,
# but it lists a Unix symbolic link to a folder as a folder reparse point, reached through Z:
# (which maps to /). This makes the links fresh on the Linux side before the tests, and takes
# them away after; rm never follows a link, so the targets only go with the fixture folder.
# No link to a file: Wine 8 lists one as a plain file and deletes its target when asked to
# delete it, which no Windows-side code can tell apart.
# Usage: link_fixture.sh make|remove <folder>
set -eu
action=$1
folder=$2

rm -rf "$folder"
case "$action" in
    make)
        mkdir -p "$folder/sentinel" "$folder/empty" "$folder/removed/sub" "$folder/cleared"
        printf keep > "$folder/sentinel/keep.txt"
        printf x > "$folder/removed/sub/file.txt"
        ln -s "$folder/sentinel" "$folder/removed/sub/link"
        ln -s "$folder/empty" "$folder/removed/empty-link"
        ln -s "$folder/sentinel" "$folder/cleared/link"
        ln -s "$folder/sentinel" "$folder/root-link"
        ;;
    remove) ;;
    *)
        echo "usage: $0 make|remove <folder>" >&2
        exit 2
        ;;
esac
