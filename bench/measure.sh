# The benchmarks' way of measuring, sourced by their scripts: programs run
# in turn, round after round, so that the machine's load weighs on all of
# them alike; each figure the median of the rounds. Needs $build/measure
# (bench/Measure.cpp) and $runs.
#
# compare NAME "COMMAND" NAME "COMMAND" ...: runs the commands in turn for
# $runs rounds; sets wall[NAME], cpu[NAME] (medians), rss[NAME] (largest)
# and faults[NAME] (median).
declare -A wall cpu rss faults
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
compare() {
  local -a names=() commands=()
  while (($#)); do
    names+=("$1")
    commands+=("$2")
    shift 2
  done
  local -A w=() c=() f=() r=()
  local round i line tw tc tr tf code
  for ((round = 0; round < runs; round++)); do
    for i in "${!names[@]}"; do
      line=$(eval "$(printf '%q' "$build/measure") ${commands[$i]}")
      read -r tw tc tr tf code <<<"$line"
      if ((code != 0)); then
        echo "failed ($code): ${commands[$i]}" >&2
        exit 1
      fi
      w[$i]+="$tw " c[$i]+="$tc " f[$i]+="$tf "
      if ((tr > ${r[$i]:-0})); then r[$i]=$tr; fi
    done
  done
  for i in "${!names[@]}"; do
    wall[${names[$i]}]=$(median <<<"${w[$i]}")
    cpu[${names[$i]}]=$(median <<<"${c[$i]}")
    faults[${names[$i]}]=$(median <<<"${f[$i]}")
    rss[${names[$i]}]=${r[$i]}
  done
}
# ratio A B: "wall x.xx, CPU x.xx" for A over B.
ratio() {
  awk -v aw="${wall[$1]}" -v ac="${cpu[$1]}" -v bw="${wall[$2]}" -v bc="${cpu[$2]}" \
    'BEGIN { printf "wall %.2f, CPU %.2f", aw / bw, ac / bc }'
}
