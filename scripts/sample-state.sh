# Sourced by run.sh (and its test): makes the sample site's simulated
# controllers in $site/doorsim.json. Expects $here (the repository) and $site.

# Controllers 1 and 2 hold the sample's cards and some punches of the last two
# days; every stored door gets a controller with the door's delays. A query
# that fails stops the caller with sqlite3's message.
make_sample_state() {
    local d1 d2 lines line doors=()
    d1=$(date -d '-2 day' +%F)
    d2=$(date -d '-1 day' +%F)
    lines=$(sqlite3 -bail "$site/door.mdb" ".read $here/sample/controllers.sql")
    while read -r line; do
        if [ -n "$line" ]; then
            doors+=(--add "${line%%,*}" --delays "$line")
        fi
    done <<<"$lines"
    "$site/doorsim" --setup-only --state "$site/doorsim.json" \
        --add 1 --add 2 "${doors[@]}" \
        --card 1,1310721,00000001 --card 1,1310722,00000002 \
        --card 2,1310723,00000003 --card 2,1310724,00000004 \
        --punch "1,1310721,$d1 08:02:11" --punch "1,1310722,$d1 08:15:40" \
        --punch "1,1310721,$d1 17:31:05" --punch "1,1310722,$d1 17:45:26" \
        --punch "2,1310723,$d1 07:55:02" --punch "2,1310724,$d1 08:03:37" \
        --punch "2,1310723,$d1 17:02:48" --punch "2,1310724,$d1 17:10:19" \
        --punch "1,1310721,$d2 08:05:53" --punch "2,1310723,$d2 07:58:14" \
        --punch "2,1310724,$d2 08:31:09"
}
