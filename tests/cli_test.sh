#!/usr/bin/env bash
# The batch command as a script sees it: output, exit status, stderr.
set -u
cli=$1
examples=$2
failures=0
total=0
check() {  # name expected-status expected-stdout -- args...
  local name=$1 status=$2 expected=$3; shift 4
  total=$((total + 1))
  local out err rc
  out=$("$cli" "$@" 2>/tmp/varno-cli-err.$$); rc=$?
  err=$(cat /tmp/varno-cli-err.$$); rm -f /tmp/varno-cli-err.$$
  if [[ $rc -ne $status || "$out" != "$expected" ]]; then
    echo "FAIL $name: status $rc (want $status), stdout [$out], stderr [$err]"; failures=$((failures + 1))
  elif [[ $status -eq 2 && ( -z "$err" || $(printf '%s\n' "$err" | wc -l) -ne 1 ) ]]; then
    echo "FAIL $name: a rejection needs a one-line message on stderr, got [$err]"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}
check worked_json 0 '{"n": 2, "messages": ["Eigenvalues \n\n lambda1=           2 \n lambda2=           3"], "reports": [[[2, 0], [3, 0]]], "eigenvalues": [[2, 0], [3, 0]], "mended": false}' \
  -- --json -k "2 0; 0 6" -m "1 0; 0 2"
check negative_rows_after_k 0 $'Eigenvalues \n\n lambda1=          -1 \n lambda2=           1' -- -k "-1 0; 0 2" -m "1 0; 0 2"
check file "0" "$("$cli" -k "2 0; 0 6" -m "1 0; 0 2")" -- "$examples/two_mass.txt"
check stdin 0 "$("$cli" -k "2 0; 0 6" -m "1 0; 0 2")" -- - < "$examples/two_mass.txt"
check cantilever_six 0 $'\n\n  Eigenvalues \n\n lambda1 =      726.92 \n lambda2 =       28731 \n lambda3 =  2.2939e+05 \n lambda4 =  1.1633e+06 \n lambda5 =  4.1205e+06 \n lambda6 =  1.6377e+07 ' \
  -- "$examples/cantilever6.txt"
check singular_pencil 1 ' The problem is singular: det(K - lambda M) = 0 for every lambda.' -- -k "1 0; 0 0" -m "1 0; 0 0"
check empty_k 1 ' Please enter K matrix coefficients.' -- -k "0 0; 0" -m "1 0; 1"
check wrong_row_length 2 '' -- -k "1 2 3; 4 5 6 7; 8" -m "1 0 0; 1 0; 1"
check missing_m 2 '' -- -k "1 0; 1"
check k_twice 2 '' -- -k "1 0; 1" -m "1 0; 1" -k "2 0; 2"
check unreadable_file 2 '' -- /nonexistent/problem.txt
check unknown_option 2 '' -- --frobnicate
check bad_file 2 '' -- /dev/null
# Positive definite M in SI units: the closed forms showed a complex form, a
# refusal or wrong digits; these are LAPACK's dsygv values to the digits shown.
check si_chain_3 0 $'Eigenvalues \n\n lambda1=   1.156e+07 \n lambda2=   1.092e+08 \n lambda3=   2.335e+08' -- \
  -k '11866569.891920242 -7047150.606709539 0; 14988426.147917645 -7941275.541208106; 7941275.541208106' \
  -m '0.09529494321102669 0 0; 0.1047745625383946 0; 0.09157341936714024'
check double_zero_3 0 $'Eigenvalues \n\n lambda1=          -2 \n lambda2=          -2 \n lambda3=           0' -- \
  -k '-2 0 0; -2 0; 0' -m '1 0 0; 1 0; 1'
check gram_masses_4 0 $'\n\n  Eigenvalues \n\n lambda1 =  1.2061e+08 \n lambda2 =       1e+09 \n lambda3 =  2.3473e+09 \n lambda4 =  3.5321e+09 ' -- \
  -k "2e6 -1e6 0 0; 2e6 -1e6 0; 2e6 -1e6; 1e6" -m "1e-3 0 0 0; 1e-3 0 0; 1e-3 0; 1e-3"
check soft_chain_4 0 $'\n\n  Eigenvalues \n\n lambda1 =  0.00036184 \n lambda2 =       0.003 \n lambda3 =   0.0070419 \n lambda4 =    0.010596 ' -- \
  -k "0.006 -0.003 0 0; 0.006 -0.003 0; 0.006 -0.003; 0.003" -m "1 0 0 0; 1 0 0; 1 0; 1"
check tiny_m_2 0 '{"n": 2, "messages": ["Eigenvalues \n\n lambda1=      1e+150 \n lambda2=      1e+150"], "reports": [[[1e+150, 0], [1e+150, 0]]], "eigenvalues": [[1e+150, 0], [1e+150, 0]], "mended": true}' -- \
  --json -k "1 0; 1" -m "1e-150 0; 1e-150"
# Many problems on standard input: headers, and the worst exit status.
check stream_stdin 1 "$(printf '# problem 1 (line 1)\n%s\n\n# problem 2 (line 7)\n%s' \
  "$("$cli" -k "2 0; 0 6" -m "1 0; 0 2")" "$("$cli" -k "1 0; 0" -m "1 0; 0")")" -- - \
  < <(printf 'K\n2 0\n6\nM\n1 0\n2\nK\n1 0\n0\nM\n1 0\n0\n')
check directory 2 '' -- /tmp
check misread 0 "$("$cli" -k "3000 -1000; 1000" -m "1 0; 5")" -- -k "3000 -1000; 1000" -m "1 0,5; 5"
check misread_strict 2 '' -- --strict -k "3000 -1000; 1000" -m "1,5 0; 5"
check bad_jobs 2 '' -- -j 0 "$examples/two_mass.txt"
# The two-mass chain worked by hand: lambda = 100 and 400, f = 1.5915 and
# 3.1831 Hz, effective masses 13.33 and 1.667 of 15 kg.
check modes_chain 0 "$("$cli" -k "3000 -1000; 1000" -m "10 0; 5")"$'\n\nModes
 mode          lambda     bound       omega           f           T   eff. mass    share
    1             100   4.5e-13          10      1.5915     0.62832      13.333  88.89 %
    2             400   8.1e-13          20      3.1831     0.31416      1.6667  11.11 %
 total mass 15

Mode shapes
  dof        mode 1        mode 2
    1      0.182574      0.258199
    2      0.365148     -0.258199' -- --modes -k "3000 -1000; 1000" -m "10 0; 5"
# Directions, Rayleigh damping worked by hand (omega 10 and 20, zeta 0.05:
# a0 = 2/3, a1 = 1/300) and a normalisation; each refusal a message and
# status 2, with nothing on stdout.
check modes_directions 0 "$("$cli" -k "3000 -1000; 1000" -m "10 0; 5")"$'\n\nModes
 mode          lambda     bound       omega           f           T        zeta
    1             100   4.5e-13          10      1.5915     0.62832        0.05
    2             400   8.1e-13          20      3.1831     0.31416        0.05
 Rayleigh damping from modes 1 and 2 (zeta 0.05 and 0.05): C = a0 M + a1 K, a0 = 0.66667 1/s, a1 = 0.0033333 s

Participation in x: total mass 10 kg, effective masses added up 10 kg
 mode           L          M*       gamma   eff. mass    share   cumul.
    1           5         7.5     0.66667      3.3333    33.33    33.33
    2          10          15     0.66667      6.6667    66.67   100.00 <- 90 %

Participation in y: total mass 5 kg, effective masses added up 5 kg
 mode           L          M*       gamma   eff. mass    share   cumul.
    1           5         7.5     0.66667      3.3333    66.67    66.67
    2          -5          15    -0.33333      1.6667    33.33   100.00 <- 90 %

Mode shapes
 normalised: largest component 1
  dof        mode 1        mode 2  direction
    1           0.5             1  x
    2             1            -1  y' -- --directions x,y --rayleigh 1,2 --normalise max -k "3000 -1000; 1000" -m "10 0; 5"
check rayleigh_same_mode 2 '' -- --rayleigh 2,2 -k "3000 -1000; 1000" -m "10 0; 5"
check rayleigh_close 2 '' -- --rayleigh 1,2 -k "1 0; 1.01" -m "1 0; 1"
check rayleigh_no_mass 2 '' -- --rayleigh 1,2 -k "4e5 -2e5; 4e5" -m "1 0; -0.5"
check rayleigh_bad 2 '' -- --rayleigh 1,2,0.05 -k "3000 -1000; 1000" -m "10 0; 5"
check normalise_node 2 '' -- --normalise dof=2 -k "2 -1 0; 2 -1; 2" -m "1 0 0; 1 0; 1"
check directions_count 2 '' -- --directions x,y,x -k "3000 -1000; 1000" -m "10 0; 5"
check directions_file 0 "$("$cli" --directions x,y -k "2 0; 0 6" -m "1 0; 0 2")" -- --directions x,y "$examples/two_mass.txt"
check directions_file_count 2 '' -- --directions x,y,x "$examples/two_mass.txt"
check rayleigh_no_modes 2 '' -- --rayleigh 1,2 -k "1 0; -1" -m "0 1; 0"
check rayleigh_twice 2 '' -- --rayleigh 1,2 --rayleigh 1,2 -k "3000 -1000; 1000" -m "10 0; 5"
check normalise_no_value 2 '' -- -k "3000 -1000; 1000" -m "10 0; 5" --normalise

expect() {  # name condition-status
  total=$((total + 1))
  if [[ $2 -eq 0 ]]; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A problem's own directions count as --directions would; the option over them.
printf 'K\n3000 -1000\n1000\nM\n10 0\n5\n# directions: x,y\n' >"$work/dirs.varno"
check file_directions 0 "$("$cli" --directions x,y -k "3000 -1000; 1000" -m "10 0; 5")" -- "$work/dirs.varno"
check file_directions_overridden 0 "$("$cli" --directions y,y -k "3000 -1000; 1000" -m "10 0; 5")" -- \
  --directions y,y "$work/dirs.varno"
# Messages name what failed and why, on one line.
"$cli" /tmp 2>"$work/err"; [[ $? -eq 2 && $(cat "$work/err") == "varno-cli: cannot read /tmp: Is a directory" ]]
expect directory_message $?
"$cli" -k "1 0; 1" -m "1,5 0; 1" 2>"$work/err" >/dev/null
[[ $(cat "$work/err") == 'varno-cli: M row 1, column 1: "1,5" is read as 1' ]]; expect misread_message $?
"$cli" "$examples/beam4.txt" >/dev/full 2>"$work/err"
[[ $? -ne 0 && $(cat "$work/err") == "varno-cli: cannot write standard output: No space left on device" ]]
expect full_disk $?
# A fault is named for what it is; a name, however odd, stays on one line.
printf 'K\n2 0\n6\nM\n1 0\n' >"$work/short_m.txt"
"$cli" "$work/short_m.txt" 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == "varno-cli: $work/short_m.txt: line 5: M has 1 row; n is 2, so a row of M is missing" ]]
expect missing_m_row $?
printf 'K\nK\n2 0\n6\nM\n1 0\n2\n' | "$cli" - 2>"$work/err" >/dev/null
[[ $? -eq 2 && $(cat "$work/err") == 'varno-cli: line 1: K has no rows' ]]; expect doubled_k $?
"$cli" $'/nonexistent/a\nb\e[2J' 2>"$work/err"
[[ $(cat "$work/err") == 'varno-cli: cannot read /nonexistent/a\x0ab\x1b[2J: No such file or directory' ]]
expect escaped_name $?
# Input that never has a line end is refused at its first line, not read for ever.
timeout 60 "$cli" /dev/zero 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == 'varno-cli: /dev/zero: line 1: rows before the line "K"' ]]; expect dev_zero $?
timeout 60 "$cli" - </dev/zero 2>"$work/err"; [[ $? -eq 2 ]]; expect nul_stdin $?
# K and M from other programs' files: the answer to the same rows.
printf '%%%%MatrixMarket matrix coordinate real symmetric\n2 2 3\n1 1 3000\n2 1 -1000\n2 2 1000\n' >"$work/k.mtx"
printf '1 1 10\n2 2 5\n' >"$work/job.mas"
check model_files 0 "$("$cli" --modes -k "3000 -1000; 1000" -m "10 0; 5")" -- \
  --modes --k-file "$work/k.mtx" --m-file "$work/job.mas"
check model_file_malformed 2 '' -- --k-file "$work/k.mtx" --m-file "$work/short_m.txt"
# Only the files named are read, and only regular ones; files whose names
# say the other matrix are refused, unless told.
printf '1 1 3000\n1 2 -1000\n2 2 1000\n' >"$work/job.sti"
mkfifo "$work/job.dof"
timeout 20 "$cli" --k-file "$work/job.sti" --m-file "$work/job.mas" >"$work/out"
[[ $? -eq 0 && $(cat "$work/out") == "$("$cli" -k "3000 -1000; 1000" -m "10 0; 5")" ]]; expect dof_not_named $?
check swapped_roles 2 '' -- --k-file "$work/job.mas" --m-file "$work/job.sti"
check forced_roles 0 "$("$cli" -k "10 0; 5" -m "3000 -1000; 1000")" -- --force-roles --k-file "$work/job.mas" --m-file "$work/job.sti"
cp "$work/k.mtx" "$work/beam_M.mtx"
"$cli" --k-file "$work/beam_M.mtx" --m-file "$work/job.mas" 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == "varno-cli: $work/beam_M.mtx's name says it holds M, but it is given as --k-file; give the files the other way round, or add --force-roles to take them as given" ]]
expect swapped_by_name $?
"$cli" --k-file "$work" --m-file "$work/job.mas" 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == "varno-cli: cannot read $work: Is a directory" ]]; expect model_directory $?
timeout 20 "$cli" --k-file /dev/zero --m-file "$work/job.mas" 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == "varno-cli: cannot read /dev/zero: it is a device, not a regular file" ]]
expect model_device $?
cp "$examples/beam4.txt" "$work/beam.varno"
"$cli" --k-file "$work/beam.varno" --m-file "$work/job.mas" 2>"$work/err"
[[ $? -eq 2 && $(cat "$work/err") == *"beam.varno is a problem file, with K and M together, not one matrix of a model: give it as FILE, not as --k-file or --m-file" ]]
expect model_problem_file $?
# A C1 control (U+009B starts a terminal's control sequence) is escaped too.
printf 'K\n2 0\n6\nM\n1\xc2\x9b 0\n2\n' >"$work/c1.txt"
"$cli" "$work/c1.txt" 2>"$work/err" >/dev/null
[[ $(cat "$work/err") == "varno-cli: $work/c1.txt: line 5: M row 1, column 1: \"1\\xc2\\x9b\" is read as 1" ]]; expect c1_escaped $?
for option in --help --version; do
  "$cli" $option >/dev/full 2>"$work/err"
  [[ $? -eq 2 && $(cat "$work/err") == "varno-cli: cannot write standard output: No space left on device" ]]
  expect "full_disk$option" $?
done

# A co-process writes one problem and waits for its answer (read -t only
# keeps a broken build from hanging the suite).
# Bash unsets CLI and CLI_PID once the co-process has ended, which it may
# do before they are read again: take them at once.
coproc CLI { "$cli" --stream -; }
cli_pid=$CLI_PID cli_out=${CLI[0]} cli_in=${CLI[1]}
printf 'K\n2 0\n6\nM\n1 0\n2\n' >&"$cli_in"
answer=""
for _ in 1 2 3 4 5; do IFS= read -r -t 60 line <&"$cli_out" || break; answer+="$line"$'\n'; done
exec {cli_in}>&-
wait "$cli_pid"
[[ $? -eq 0 && "$answer" == $'# problem 1 (line 1)\nEigenvalues \n\n lambda1=           2 \n lambda2=           3\n' ]]
expect stream_coprocess $?

# The progress line: on a terminal for a file, erased at the end, a warning
# on its own line with the line drawn again below it; never into a file; on
# a pipe without the share read.
for k in $(seq 300); do
  if [[ $k -eq 200 ]]; then printf 'K\n3000 -1000\n1000\nM\n1,5 0\n5\n'; else printf 'K\n2 0\n6\nM\n1 0\n2\n'; fi
done >"$work/many.txt"
tty=$(script -qec "'$cli' '$work/many.txt' >/dev/null" /dev/null </dev/null)
[[ "$tty" == $'\r\e[K'"varno-cli: 128 problems, "*" a second, 100 % read, "*" left"$'\r\e[K'"varno-cli: $work/many.txt: line 1199: "*$'read as 1\r\n'"varno-cli: 128 problems"*$'\r\e[K' ]]
expect progress_terminal $?
# Answers on the same terminal start on a line of their own.
tty=$(script -qec "'$cli' '$work/many.txt'" /dev/null </dev/null)
[[ "$tty" == *"# problem 300 (line 1795)"* && "$tty" == *" left"* && "$tty" != *" left"[!$'\r']* ]]
expect progress_with_answers $?
[[ -z $(script -qec "'$cli' --no-progress '$work/many.txt' >/dev/null 2>&1" /dev/null </dev/null) ]]
expect progress_off $?
"$cli" "$work/many.txt" >/dev/null 2>"$work/err"
[[ $(cat "$work/err") == "varno-cli: $work/many.txt: line 1199: "*"read as 1" ]]; expect progress_not_in_file $?
tty=$(script -qec "cat '$work/many.txt' | '$cli' --progress - >/dev/null" /dev/null </dev/null)
[[ "$tty" == *" problems, "*" a second"* && "$tty" != *"% read"* ]]; expect progress_pipe $?
# Modes with four workers: the bytes of one.
for _ in $(seq 200); do cat "$examples/beam4.txt" "$examples/three_problems.txt"; done >"$work/mixed.txt"
"$cli" --json --modes -j 1 "$work/mixed.txt" >"$work/one" 2>/dev/null
"$cli" --json --modes -j 4 "$work/mixed.txt" >"$work/four" 2>/dev/null
[[ $(grep -c '"modes": \[{"lambda"' "$work/one") -eq 600 ]] && cmp -s "$work/one" "$work/four"; expect modes_workers $?
# Under a batch system's limit on address space, threads that cannot be
# started (some of 4096 8 MiB stacks, or not one of 1 GiB) are done without.
# (A sanitizer's shadow memory does not fit the limit: nothing to check.)
for stack in 8192 1048576; do
  (ulimit -v 600000 -s $stack; "$cli" --json -j 1 "$work/mixed.txt" >"$work/one") 2>/dev/null
  if [[ $? -eq 2 ]]; then  # ran, and found the malformed problems
    (ulimit -v 600000 -s $stack; "$cli" --json -j 4096 "$work/mixed.txt" >"$work/many") 2>/dev/null
    [[ $? -eq 2 ]] && cmp -s "$work/one" "$work/many"; expect "threads_limited_$stack" $?
  fi
done
# Models beyond the grid: a size claimed beyond the cap, refused before
# anything is allocated; memory that cannot be had, refused by one line.
printf '%%%%MatrixMarket matrix coordinate real symmetric\n%s %s 1\n1 1 1\n' 1000000000 1000000000 >"$work/huge_K.mtx"
printf '%%%%MatrixMarket matrix coordinate real symmetric\n%s %s 1\n1 1 1\n' 3000 3000 >"$work/big_K.mtx"
cp "$work/big_K.mtx" "$work/big_M.mtx"
check model_beyond_cap 2 '' -- --k-file "$work/huge_K.mtx" --m-file "$work/big_M.mtx"
err=$( (ulimit -v 500000; "$cli" --k-file "$work/big_K.mtx" --m-file "$work/big_M.mtx") 2>&1 >/dev/null)
status=$?
[[ $err == "varno-cli: not enough memory for this model" || $err == *"AddressSanitizer"* ]] && [[ $status -ne 0 ]]
expect memory_refused $?
# JSON: today's keys, then those asked for, and nothing not asked for.
json=$("$cli" --json --directions x,y -k "3000 -1000; 1000" -m "10 0; 5")
[[ $json == *'"effective_mass": 1.6666666666666643}], "directions": ["x", "y"], "by_direction": {"x": {"mass_unit": "kg", "total_mass": 10, '*'"reaches_90": 2}}, "mended": false}' && $json != *rayleigh* ]]
expect json_directions $?
check version 0 "varno-cli $(sed -n 's/^project(varno VERSION \([0-9.]*\).*/\1/p' "$examples/../CMakeLists.txt")" -- --version
# The man page's worked modes table is what the command prints for it.
page=$(sed -n '/^Modes$/,/^\.fi$/p' "$examples/../man/varno-cli.1.in" | sed -e '$d' -e 's/\\-/-/g')
shown=$("$cli" --modes -k "3000 -1000; 1000" -m "10 0; 5" | sed -n '/^Modes$/,$p')
total=$((total + 1))
if [[ -n "$page" && "$shown" == "$page" ]]; then echo "ok   man_modes_example"
else echo "FAIL man_modes_example: the page shows [$page], the command [$shown]"; failures=$((failures + 1)); fi
echo "$((total - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
