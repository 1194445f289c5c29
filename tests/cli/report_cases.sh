#!/bin/sh
# The removal report, the input findings and hashed suppression lists of trelvane-cli, on
# fixtures made here with relative paths, so that the report's paths are known.
# Usage: report_cases.sh CLI WORK CASE. Exits 0 when the case behaves, else prints why and 1.
set -u
cli=$1 work=$2 case=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

fail() { echo "$case: $*" >&2; exit 1; }

# same FILE TEXT: FILE holds exactly the bytes of the printf format TEXT.
same() {
    printf "$2" > want.bin
    cmp -s want.bin "$1" || fail "$1 differs:$(diff want.bin "$1" | head -20)"
}

# sums REPORT COMPLETION: the report's lines per reason match its summary, and the summary's
# counts add up to the filtered count of the completion line plus the lines skipped in writing.
sums() {
    filtered=$(sed -n 's/^输出完成！过滤数量：\([0-9]*\)条.*/\1/p' "$2")
    awk -F'\t' -v filtered="$filtered" '
        /^# summary/ { for (i = 2; i <= NF; i++) { split($i, p, " "); said[p[1]] = p[2] }; next }
        /^#/ { next }
        { counted[$1]++; lines++ }
        END {
            n = split("duplicate deleted-suffix excluded over-long empty not-kept-suffix", r, " ")
            for (i = 1; i <= n; i++) { total += said[r[i]]; if (said[r[i]] != counted[r[i]] + 0) exit 1 }
            exit !(total == lines && said["filtered"] == filtered &&
                   total == filtered + said["skipped-while-writing"])
        }' "$1" || fail "the counts of $1 do not add up: $(tail -1 "$1")"
}

long=$(head -c 70000 /dev/zero | tr '\0' x)
printf 'x@a.example\ny@b.example\nx@a.example\n\nz@drop.example\ngone@a.example\n\n%s@a.example\nw@c.example\n' \
    "$long" > a.txt
printf 'y@b.example\nv@a.example\n' > b.txt
printf 'kept@a.example\ngone@a.example\n' > ex.txt

case $case in
# Every reason of the processing stage, a duplicate across files, the same file given twice.
reasons)
    "$cli" -q --report rep.txt --delete-suffixes drop.example --exclude ex.txt -o out.txt \
        a.txt b.txt a.txt > done.txt 2> err.txt || fail "exit status $?: $(cat err.txt)"
    same done.txt '输出完成！过滤数量：15条 处理后数量：4条\n'
    same err.txt ''
    same out.txt 'v@a.example\r\nw@c.example\r\nx@a.example\r\ny@b.example\r\n'
    same rep.txt "duplicate\ta.txt\t3\ta.txt\t1\tx@a.example\r
deleted-suffix\ta.txt\t5\tdrop.example\t\tz@drop.example\r
excluded\ta.txt\t6\tex.txt\t2\tgone@a.example\r
empty\ta.txt\t7\t\t\t\r
over-long\ta.txt\t8\t\t\t\r
duplicate\tb.txt\t1\ta.txt\t2\ty@b.example\r
duplicate\ta.txt\t1\ta.txt\t1\tx@a.example\r
duplicate\ta.txt\t2\ta.txt\t2\ty@b.example\r
duplicate\ta.txt\t3\ta.txt\t1\tx@a.example\r
empty\ta.txt\t4\t\t\t\r
deleted-suffix\ta.txt\t5\tdrop.example\t\tz@drop.example\r
excluded\ta.txt\t6\tex.txt\t2\tgone@a.example\r
empty\ta.txt\t7\t\t\t\r
over-long\ta.txt\t8\t\t\t\r
duplicate\ta.txt\t9\ta.txt\t9\tw@c.example\r
empty\ta.txt\t4\t\t\t\r
# summary\tduplicate 6\tdeleted-suffix 2\texcluded 2\tover-long 2\tempty 4\tnot-kept-suffix 0\tfiltered 15\tskipped-while-writing 1\r\n"
    sums rep.txt done.txt
    # The output is the same without the report.
    "$cli" -q --delete-suffixes drop.example --exclude ex.txt -o plain.txt a.txt b.txt a.txt \
        > /dev/null 2>&1
    cmp -s out.txt plain.txt || fail "the output changes with --report" ;;
# The keep rule skips lines while writing: told with the place the line was first stored.
not_kept)
    "$cli" -q --report rep.txt --keep-suffixes a.example -o out.txt b.txt a.txt > done.txt 2>&1 ||
        fail "exit status $?: $(cat done.txt)"
    sums rep.txt done.txt
    grep -q "^not-kept-suffix	b.txt	1	b.example		y@b.example" rep.txt &&
        grep -q "^not-kept-suffix	a.txt	9	c.example		w@c.example" rep.txt ||
        fail "no not-kept-suffix lines in: $(cat rep.txt)" ;;
# Findings in the input: told on stderr after the completion line and atop the report; they
# change nothing in the output.
diagnostics)
    printf '\357\273\277ann@example.com\nAnn@Example.com\r\nAnn@example.com\n lead@example.com\ntrail@example.com\343\200\200\ntwo@@example.com\nbad\377@example.com\nnoat\nBOB@example.com\nbob@example.com\n' > d.txt
    "$cli" -q --report rep.txt --case-variants -o out.txt d.txt > done.txt 2> err.txt ||
        fail "exit status $?: $(cat err.txt)"
    findings='以字节顺序标记开头的文件（标记成为第一行的一部分）：1；例：d.txt:1
混用 LF 与 CR LF 行尾的文件：1；例：d.txt:2
首尾有空白（含全角空格）的行：2；例：d.txt:4、d.txt:5
没有“@”或有多个“@”的行：2；例：d.txt:6、d.txt:8
含有系统代码页无效字节的行：1；例：d.txt:7
仅域名大小写不同的地址（同一邮箱，会收到两次）：2，1 组；例：d.txt:2、d.txt:3
仅本地部分大小写不同的地址（很可能是同一邮箱）：2，1 组；例：d.txt:9、d.txt:10'
    printf '%s\n' "$findings" | sed 's/^/trelvane-cli: 提示：/' > want.txt
    cmp -s want.txt err.txt || fail "stderr: $(cat err.txt)"
    printf '%s\n' "$findings" | sed 's/^/# /; s/$/\r/' > want.txt
    head -7 rep.txt | cmp -s want.txt - || fail "report: $(cat rep.txt)"
    "$cli" -q -o plain.txt d.txt > /dev/null 2>&1
    cmp -s out.txt plain.txt || fail "the output changes with --report"
    [ "$(wc -l < plain.txt)" = 10 ] || fail "output: $(cat plain.txt)" ;;
# Digests made here with the system's tools, in upper and lower hex, of three lengths, with a
# header and a blank line; together with --exclude.
hashed)
    md5=$(printf 'ann@example.com' | md5sum | cut -d' ' -f1 | tr a-f A-F)
    sha256=$(printf 'bob@example.com' | sha256sum | cut -d' ' -f1)
    sha1=$(printf 'carl@example.com' | sha1sum | cut -d' ' -f1 | tr a-f A-F)
    printf 'email_hash\r\n%s\r\n%s\n\n  %s  \n' "$md5" "$sha256" "$sha1" > h.txt
    printf 'Ann@Example.com\nbob@example.com\nCARL@example.com\ndave@example.com\neve@example.com\nann@example.com \n' > i.txt
    printf 'eve@example.com\n' > ex2.txt
    "$cli" -q --report rep.txt --exclude-hashed h.txt --exclude ex2.txt -o out.txt i.txt \
        > done.txt 2> err.txt || fail "exit status $?: $(cat err.txt)"
    same done.txt '输出完成！过滤数量：4条 处理后数量：2条\n'
    same out.txt 'ann@example.com \r\ndave@example.com\r\n'
    grep -q '^trelvane-cli: 提示：散列排除文件中跳过的行（空行或不是摘要）：2；例：h.txt:1、h.txt:4$' err.txt ||
        fail "stderr: $(cat err.txt)"
    grep '^excluded' rep.txt > got.txt
    same got.txt "excluded\ti.txt\t1\th.txt\t2\tAnn@Example.com\r
excluded\ti.txt\t2\th.txt\t3\tbob@example.com\r
excluded\ti.txt\t3\th.txt\t5\tCARL@example.com\r
excluded\ti.txt\t5\tex2.txt\t1\teve@example.com\r\n" ;;
# A report that cannot be made stops the tool before the job; a failed job leaves an earlier
# report as it was.
failures)
    "$cli" -q --report no-such-folder/rep.txt -o out.txt b.txt > done.txt 2> err.txt
    [ $? = 1 ] && [ ! -e out.txt ] || fail "a report that cannot be made still ran the job"
    same err.txt 'trelvane-cli: 打开报告文件失败！no-such-folder/rep.txt: No such file or directory\n'
    printf 'earlier\n' > rep.txt
    "$cli" -q --report rep.txt -o out.txt b.txt no-such-input.txt > done.txt 2> err.txt
    [ $? = 1 ] || fail "a failed input did not fail the run"
    same rep.txt 'earlier\n'
    [ "$(ls -A | grep -c trelvane)" = 0 ] || fail "temporary files left: $(ls -A)" ;;
*) fail "no such case" ;;
esac
exit 0
