# Side-by-side table of morvel_ax_bench outputs: ours.N (bulk reads), serial.N
# (MORVEL_AX_SERIAL_READS=1) and, where there are any, pyatspi.N files of one
# run; each figure is the median of the turns' medians. Where both sides name the
# element they answered (its frame), "same" tells whether they answered the same
# one in every turn: "yes", "NO", or "-" where a side names none; a serial
# helper answering otherwise than the helper makes it "serial!".
#   awk -f side-by-side.awk DIR/ours.* DIR/serial.* [DIR/pyatspi.*]
function field(line, key,    n, parts, i, kv) {
  n = split(line, parts, " ")
  for (i = 2; i <= n; i++) { split(parts[i], kv, "="); if (kv[1] == key) return kv[2] }
  return ""
}
function middle(list,    n, values, i, j, t) {
  n = split(list, values, " ")
  for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (values[j] + 0 < values[i] + 0) { t = values[i]; values[i] = values[j]; values[j] = t }
  return values[int((n + 1) / 2)]
}
{
  side = (FILENAME ~ /pyatspi/) ? "py" : (FILENAME ~ /serial/) ? "serial" : "ours"
  if (side == "py") withPy = 1
  name = $1
  if (side == "ours" && !(name in seen)) { seen[name] = 1; order[++count] = name }
  times[side, name] = times[side, name] " " field($0, "median_us")
  trips[side, name] = field($0, "round_trips")
  found[side, name] = field($0, "found")
  answer = field($0, "answer")
  if ((side, name) in answers && answers[side, name] != answer) answer = "varies"
  answers[side, name] = answer
}
function same(name,    ours, py) {
  ours = answers["ours", name]; py = answers["py", name]
  if (ours == "" || py == "") return "-"
  if (answers["serial", name] != ours) return "serial!"
  return (ours == py && ours != "varies") ? "yes" : "NO"
}
END {
  walk = middle(times["py", "walk"])
  if (withPy) {
    printf "%-14s %9s %9s %9s %6s %6s %8s %9s %8s %6s %6s %7s\n", "command", "ours_us", "serial_us", "py_us", "ratio", \
      "walk", "ours_rt", "serial_rt", "py_rt", "ours", "py", "same"
  } else {
    printf "%-14s %9s %9s %8s %9s %6s\n", "command", "ours_us", "serial_us", "ours_rt", "serial_rt", "found"
  }
  for (i = 1; i <= count; i++) {
    name = order[i]
    a = middle(times["ours", name]); s = middle(times["serial", name])
    if (!withPy) {
      printf "%-14s %9s %9s %8s %9s %6s\n", name, a, s, trips["ours", name], trips["serial", name], found["ours", name]
      continue
    }
    if (!(("py", name) in trips)) continue
    b = middle(times["py", name])
    printf "%-14s %9s %9s %9s %6.2f %6.2f %8s %9s %8s %6s %6s %7s\n", name, a, s, b, (b > 0 ? a / b : 0), \
      (walk > 0 ? a / walk : 0), trips["ours", name], trips["serial", name], trips["py", name], \
      found["ours", name], found["py", name], same(name)
  }
  if (withPy) printf "%-14s %9s %9s %9s %6s %6s %8s %9s %8s\n", "walk (py)", "", "", walk, "", "", "", "", trips["py", "walk"]
}
