# Shared by the side-by-side benchmark scripts; sourced, not run.

# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# report HEADER PEER_NAME PEER_NS OURS_NAME OURS_NS TARGET: both medians and their ratio.
report() {
  awk -v h="$1" -v pn="$2" -v p="$3" -v on="$4" -v o="$5" -v t="$6" 'BEGIN {
    printf "runs:                   %s\n", h
    printf "%-23s %.3f ms\n", pn " median:", p / 1e6
    printf "%-23s %.3f ms\n", on " median:", o / 1e6
    printf "%-23s %.2fx (target: %s)\n", "ratio " on "/" pn ":", o / p, t
  }'
}
