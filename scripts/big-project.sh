#!/bin/sh
# Writes a project of 50 formulas of 1 MiB each (the longest the compiler accepts) to standard
# output, for measuring what loading, saving and undo cost at the limits:
#   big-project.sh [SHAPE] > big.kvx
# SHAPE: mix (default) a formula of functions, powers and constants repeated; sum x+x+x...;
# cond bracketed conditionals; and x&x&x..., an instruction per character.
shape=${1:-mix}
case $shape in
mix) unit='sin(x*1.25)+cos(u-0.5)*x^2-exp(-x/3)+abs(x-u)/(1+x^2)+' last='x' ;;
sum) unit='x+' last='x' ;;
cond) unit='(x<1?x:u)+' last='x' ;;
and) unit='x&' last='x' ;;
*) echo "big-project.sh: unknown shape $shape" >&2; exit 2 ;;
esac
awk -v unit="$unit" -v last="$last" 'BEGIN {
  size = 1048576
  text = unit
  while (length(text) < size) text = text text
  text = substr(text, 1, size - length(last))
  # Cut after a whole unit so that the formula stays well formed.
  text = substr(text, 1, int(length(text) / length(unit)) * length(unit)) last
  for (i = 1; i <= 50; i++) printf "f%d=%s\n", i, text
  printf "xmin=-10\nxmax=10\nymin=-10\nymax=10\nxgrid=1\nygrid=1\nbgcolor=15\ntrmode=0\nflags=0000001f\n"
  printf "step1\n-name=Gross\n-range0=-10,0.5,40\n-range1=1,1,2\n-range2=0,1,0\n"
  for (i = 1; i <= 50; i++) printf "-f%d=%d,1,0\n", i, i % 15 + 1
  printf "-end\n"
}'
