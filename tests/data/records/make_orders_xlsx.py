#!/usr/bin/python3
# Writes orders.xlsx with openpyxl (Debian python3-openpyxl 3.0.9), run once;
# the workbook is checked in. Two sheets; the first holds shared strings,
# numbers with formats, dates and empty cells.
import datetime
import openpyxl

book = openpyxl.Workbook()
sheet = book.active
sheet.title = "订单"
sheet.append(["单号", "收件人", "金额", "数量", "寄件日期", "备注", "比例"])
sheet.append(["SF1001", "张三", 1234.5, 1, datetime.date(2024, 3, 5), None, 0.25])
sheet.append(["SF1002", "李四", 0.1 + 0.2, 2, datetime.datetime(2024, 3, 6, 9, 5), "易碎", 1])
sheet.append([None, None, None, None, None, None, None])
sheet.append(["SF1003", "王五", 7, 0, datetime.date(2024, 3, 7), "第一行\n第二行", 0.5])
for row in range(2, 6):
    sheet.cell(row=row, column=3).number_format = "#,##0.00"
    sheet.cell(row=row, column=7).number_format = "0%"
sheet.cell(row=3, column=5).number_format = "yyyy-mm-dd hh:mm"
other = book.create_sheet("退货")
other.append(["单号", "原因"])
other.append(["SF0999", "地址不详"])
book.save("orders.xlsx")
