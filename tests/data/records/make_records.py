#!/usr/bin/python3
# Writes the CSV, TSV and JSON files of this folder (run once; the files are checked in).
import json

rows = [["单号", "收件人", "地址", "电话", "数量", "寄件日期"],
        ["SF1001", "张三", "北京市海淀区中关村大街1号", "13800000001", "1", "2024-03-05"],
        ["SF1002", "李四", "上海市浦东新区世纪大道100号", "13900000002", "2", "2024-03-06"],
        ["SF1003", "王五", "广州市天河区体育西路3号", "13700000003", "0", "2024-03-07"]]


def write(name, text, encoding="utf-8"):
    with open(name, "w", encoding=encoding, newline="") as f:
        f.write(text)


text = "\r\n".join(",".join(r) for r in rows) + "\r\n"
write("orders-utf8.csv", text)
write("orders-bom.csv", text, "utf-8-sig")
with open("orders-gbk.csv", "wb") as f:
    f.write(text.replace("张三", "张三·").encode("gb18030"))
write("orders.tsv", "\n".join("\t".join(r) for r in rows) + "\n")
write("orders-semicolon.csv", "\n".join(";".join(r) for r in rows))
write("quoted.csv", 'name,address,note\r\n'
      '"Smith, John","12 High St\r\nFlat 3","says ""hi"""\r\n'
      '\r\n'
      'Plain,"",\r\n')
write("ragged.csv", "a,b,c\n1,2\n4,5,6,,\n7\n")
write("too-many.csv", "a,b\n1,2\n3,4,5\n")
write("unclosed.csv", 'a,b\n1,2\n3,"four\n5,6\n')
write("after-quote.csv", 'a,b\n1,"2"x\n')
write("duplicate-columns.csv", "名称,,名称,备注\nA,B,C,D\n")
write("empty.csv", "")
write("header-only.csv", "a,b\n")
records = [dict(zip(rows[0], r)) for r in rows[1:]]
for record, count in zip(records, [1, 2, 0]):
    record["数量"] = count
records[2]["备注"] = None
write("orders.json", json.dumps(records, ensure_ascii=False, indent=1))
write("orders.jsonl", "\n".join(json.dumps(r, ensure_ascii=False) for r in records) + "\n")
write("bad.json", '[\n {"a": 1},\n {"a": 2,,}\n]\n')
write("not-objects.jsonl", '{"a": 1}\n[1,2]\n')
