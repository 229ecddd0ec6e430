#!/usr/bin/env bash
# run.sh's simulated controllers: one for every stored door, a delay the
# door has not stored at the controller's default; a query that fails stops
# the script with sqlite3's message and leaves no state file.
set -euo pipefail
here=$1 bin=$2
site=$(mktemp -d)
trap 'rm -rf "$site"' EXIT
cp "$bin/door.mdb" "$site/"
ln -s "$bin/doorsim" "$site/doorsim"
# A door added in 门锁设置 with lock 2 unticked: no lock-2 delay; and one at
# address 0, which 门锁设置 takes too.
sqlite3 -bail "$site/door.mdb" ".read $here/sample/seed.sql" \
    "INSERT INTO doors (地址, namedr1, delay1, dtype1, delay3) VALUES ('7', '侧门', 4, '铁门锁', 1), ('0', '大门', 2, '铁门锁', 0)"
state_of() { bash -euo pipefail -c 'source "$1/scripts/sample-state.sh"; make_sample_state' _ "$here" 2>"$site/err"; }
export here site

state_of
state=$(tr -d ' \n' <"$site/doorsim.json")
for want in '"address":0,"capacity":1000,"cards":\[\],"clockOffsetMs":0,"delays":\[2,10,0\]' \
        '"address":1,' '"address":2,' '"address":7,"capacity":1000,"cards":\[\],"clockOffsetMs":0,"delays":\[4,10,1\]'; do
    grep -q "$want" <<<"$state" || { echo "doorsim.json lacks $want" >&2; exit 1; }
done

# A site without doors still gets the sample's two controllers.
rm "$site/doorsim.json"
sqlite3 "$site/door.mdb" "DELETE FROM doors"
state_of
state=$(tr -d ' \n' <"$site/doorsim.json")
grep -q '"address":1,.*"address":2,' <<<"$state" || { echo "a site without doors lacks controllers 1 and 2" >&2; exit 1; }

rm "$site/doorsim.json"
sqlite3 "$site/door.mdb" "DROP TABLE doors"
if state_of; then
    echo "a failing query went unnoticed" >&2
    exit 1
fi
grep -q "no such table: doors" "$site/err" || { cat "$site/err" >&2; exit 1; }
[ ! -e "$site/doorsim.json" ] || { echo "a state file was made" >&2; exit 1; }
