#!/bin/sh
# The command line's output files under odd targets, names and signals, one named case a run:
#   command-line-files.sh KURVIX PROJECT WORKDIR CASE
# PROJECT is a small project of several steps. Prints what went wrong and exits 1 on a fault.
k=$1
project=$2
work=$3/$4
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp "$project" p.kvx || exit 1

fail() {
  echo "FEHLER: $*"
  exit 1
}

# expect STATUS TEXT COMMAND...: the command exits with STATUS and says TEXT on stderr.
expect() {
  status=$1 text=$2
  shift 2
  "$@" 2>err
  got=$?
  [ "$got" -eq "$status" ] || fail "$* endet mit $got statt $status: $(cat err)"
  grep -q -- "$text" err || fail "$* sagt nicht '$text': $(cat err)"
}

# A project whose export runs for minutes: time to send a signal.
long() {
  printf 'f1=sin(x)\nxmin=0\nxmax=10\nymin=-1\nymax=1\nflags=00000000\nstep1\n-range0=0,1e-7,100000000\n-f1=0,1,0\n-end\n' > long.kvx
}

# frames N: a project of N steps of a few samples each.
frames() {
  printf 'f1=x\nxmin=0\nxmax=1\nymin=0\nymax=1\nflags=00000000\n'
  i=1
  while [ $i -le "$1" ]; do
    printf 'step%d\n-range0=0,0.5,2\n-f1=0,1,0\n-end\n' $i
    i=$((i + 1))
  done
}

case $4 in
targets)
  # Only a regular file, or a link to one, is replaced; anything else stays as it is.
  mkfifo fifo.kvx
  ln -s nowhere.kvx dangling.kvx
  for target in fifo.kvx dangling.kvx; do
    expect 1 "Keine regul.re Datei: $target" "$k" --save $target p.kvx
  done
  expect 1 "Keine regul.re Datei: fifo.png" sh -c "mkfifo fifo.png && '$k' --export fifo.png p.kvx"
  [ -p fifo.kvx ] && [ -p fifo.png ] && [ -L dangling.kvx ] || fail "Ziel ersetzt"
  # A device: one of its own where root could replace it (root would replace /dev/null).
  if [ "$(id -u)" -eq 0 ]; then mknod null.kvx c 1 3 || fail mknod; device=null.kvx; else device=/dev/null; fi
  expect 1 "Keine regul.re Datei: $device" "$k" --save $device p.kvx
  [ -c $device ] || fail "$device ersetzt"
  # Standard output into a pipe is no file to replace either.
  { "$k" --save /dev/stdout p.kvx 2>err; echo $? > status; } | cat > piped
  [ "$(cat status)" -eq 1 ] && grep -q ": /dev/stdout" err && [ ! -s piped ] || fail "/dev/stdout: $(cat status err)"
  [ "$(ls | grep -c '[.][^.]\{6\}$')" -eq 0 ] || fail "tempor.re Datei: $(ls)"
  ;;
kvx-only)
  # The current format goes under .kvx names only; anything else stays as it was.
  cp "$(dirname "$project")"/*.kvo old.kvo && cp old.kvo keep.kvo
  expect 1 "Projekte bitte als .kvx speichern: old.kvo" "$k" --save old.kvo old.kvo
  expect 1 "Projekte bitte als .kvx speichern: old.kvo" "$k" --save old.kvo p.kvx
  cmp -s old.kvo keep.kvo || fail "old.kvo ver.ndert"
  expect 1 "Projekte bitte als .kvx speichern: out.txt" "$k" --save out.txt p.kvx
  [ ! -e out.txt ] || fail "geschrieben: $(ls)"
  "$k" --save NEU.KVX p.kvx && "$k" --save again.kvx NEU.KVX || fail ".KVX"
  ;;
signals)
  # Every signal that ends the program removes its temporary file (a background job of sh
  # starts with SIGINT and SIGQUIT ignored: env gives them back their default).
  long
  for pair in HUP:1 INT:2 QUIT:3 USR1:10 ALRM:14 TERM:15; do
    sig=${pair%:*}
    env --default-signal "$k" --export neu.svg long.kvx 2>/dev/null &
    pid=$!
    n=0
    until ls neu.svg.* >/dev/null 2>&1; do
      n=$((n + 1))
      [ $n -lt 500 ] || fail "keine tempor.re Datei"
      sleep 0.01
    done
    kill -s $sig $pid
    wait $pid
    status=$?
    [ $status -eq $((128 + ${pair#*:})) ] || fail "SIG$sig: Status $status"
    [ "$(ls)" = "long.kvx
p.kvx" ] || fail "SIG$sig hinterl.sst $(ls)"
  done
  # So does a film (its target is made before the long walk).
  env --default-signal "$k" --export neu.gif long.kvx 2>/dev/null &
  pid=$!
  until ls neu.gif.* >/dev/null 2>&1; do sleep 0.01; done
  kill -s INT $pid
  wait $pid
  [ $? -eq 130 ] && [ "$(ls)" = "long.kvx
p.kvx" ] || fail "SIGINT beim Film hinterl.sst $(ls)"
  # A file size limit ends the program by SIGXFSZ.
  (ulimit -f 1; exec "$k" --export a.svg p.kvx)
  status=$?
  [ $status -eq $((128 + 25)) ] || fail "SIGXFSZ: Status $status"
  [ "$(ls)" = "long.kvx
p.kvx" ] || fail "SIGXFSZ hinterl.sst $(ls)"
  ;;
frames)
  # Stopped while it renames, the folder holds the frames of one run: here those of the new run,
  # as the stop waits for the renames. Frames of an older, longer run go.
  frames 1000 > f.kvx
  mkdir film && (cd film && seq -f 'frame-%04g.png' 1 1100 | xargs touch)
  "$k" --frames film f.kvx --size 8x8 &
  pid=$!
  until [ -s film/frame-0001.png ]; do :; done
  kill -s TERM $pid
  wait $pid
  [ "$(ls film | wc -l)" -eq 1000 ] || fail "$(ls film | wc -l) Bilder"
  [ "$(find film -size 0 | wc -l)" -eq 0 ] || fail "$(find film -size 0 | wc -l) alte Bilder"
  [ "$(ls film | tail -1)" = frame-1000.png ] || fail "$(ls film | tail -1)"
  # A file is no folder.
  expect 1 "Kein Ordner: p.kvx" "$k" --frames p.kvx f.kvx
  ;;
long-names)
  # Names up to the folder's limit of 255 bytes; beyond it a true message.
  for n in 250 251 252 253 254 255; do
    base=$(printf "%0$((n - 4))d" 0)
    "$k" --save "$base.kvx" p.kvx && "$k" --export "$base.png" p.kvx || fail "$n Bytes"
    [ -s "$base.kvx" ] && [ -s "$base.png" ] || fail "$n Bytes: nichts geschrieben"
  done
  base=$(printf "%0252d" 0)
  expect 1 "Name zu lang" "$k" --save "$base.kvx" p.kvx
  expect 1 "Name zu lang" "$k" --export "$base.png" p.kvx
  ;;
messages)
  expect 1 "Standardausgabe" sh -c "'$k' --version > /dev/full"
  expect 2 "Falsche Bildgr..e 0x9: die Breite liegt nicht zwischen 1 und 16384" "$k" --export a.png p.kvx --size 0x9
  expect 2 "Falsche Bildgr..e 9x99999: die H.he liegt nicht zwischen 1 und 16384" "$k" --export a.png p.kvx --size 9x99999
  expect 2 "Falsche Bildgr..e 9X9: erwartet wird BREITExH.HE" "$k" --frames d p.kvx --size 9X9
  expect 2 "Unbekanntes Bildformat: a.bmp" "$k" --export a.bmp p.kvx
  expect 2 "Falsche Bildrate 51: erwartet wird eine Zahl von 1 bis 50" "$k" --export a.webm p.kvx --fps 51
  expect 2 "--fps gilt nur f.r Filme" "$k" --export a.svg p.kvx --fps 25
  # A film larger than the memory is a message, and no file.
  expect 1 "Nicht genug Speicher: big.gif" sh -c "ulimit -v 1500000; exec '$k' --export big.gif p.kvx --size 16384x16384"
  [ ! -e big.gif ] && [ "$(ls | grep -c 'big')" -eq 0 ] || fail "big.gif: $(ls)"
  ;;
*) fail "unbekannter Fall $4" ;;
esac
exit 0
