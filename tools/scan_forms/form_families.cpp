#include "form_families.h"

#include <algorithm>
#include <cmath>

namespace ordavel::scanforms {

namespace {

const std::vector<std::string> kChinese = {
    "姓名", "性别", "年龄", "民族", "籍贯", "出生日期", "身份证号", "联系电话", "手机", "地址", "详细地址", "邮编",
    "工作单位", "部门", "职务", "工号", "学历", "婚姻状况", "电子邮箱", "传真", "单位名称", "客户名称", "订单号",
    "编号", "科室", "医保类型", "门诊号", "证件号码", "车牌号", "申请人", "事由", "起止时间", "经办人", "审核人",
    "负责人", "金额", "用途", "摘要", "收款人", "付款人", "开户行", "账号", "日期", "签名", "备注", "公司名称",
    "纳税人识别号", "开票日期", "业务流水号", "联系人", "所在地区", "紧急联系人", "政治面貌", "户口所在地",
    "作业地点", "作业内容", "监护人", "批准人", "有效期", "物品名称", "重量", "件数", "保价金额", "寄件日期",
};

const std::vector<std::string> kEnglish = {
    "Name", "Full Name", "Address", "Phone", "Mobile", "Email", "City", "State", "Zip Code", "Country",
    "Date", "Date of Birth", "Signature", "Company", "Department", "Position", "Occupation", "Customer ID",
    "Account Number", "Reference No", "Invoice No", "Order No", "Contact Person", "Fax", "Bank Name", "Branch",
    "Payee", "Purpose", "Amount", "Remarks", "Approved by", "Prepared by", "Nationality", "Passport No",
    "Employee ID", "Start Date", "End Date", "Emergency Contact", "Relationship", "Website",
};

const std::vector<std::string> kChineseTitles = {
    "个人信息登记表", "入职登记表", "费用报销单", "收款收据", "申请表", "出库单", "送货单", "工作许可证",
    "门诊收费票据", "客户资料表", "维修服务单", "借款单",
};
const std::vector<std::string> kEnglishTitles = {
    "Customer Information Form", "Application Form", "Registration Form", "Payment Receipt", "Delivery Note",
    "Employee Details", "Service Request", "Expense Claim",
};

const std::vector<std::string> kChineseValues = {"张伟", "王芳", "李娜", "刘洋", "陈静", "13812345678", "2023年5月6日",
                                                 "北京市海淀区", "350.00", "办公用品", "已核对", "上海"};
const std::vector<std::string> kEnglishValues = {"John Smith", "Mary Jones", "42 High Street", "555-0142", "12/05/2023",
                                                 "ACME Ltd", "1250.00", "London", "A-10293"};

template <typename T>
const T& pick(Rng& rng, const std::vector<T>& from)
{
    std::uniform_int_distribution<std::size_t> d(0, from.size() - 1);
    return from[d(rng)];
}

double uniform(Rng& rng, double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

int between(Rng& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

bool chance(Rng& rng, double p)
{
    return uniform(rng, 0, 1) < p;
}

// Captions in a random order, none repeated until all are used.
class Captions {
public:
    Captions(Rng& rng, const std::string& language) : m_words(captionWords(language)), m_rng(rng)
    {
        std::shuffle(m_words.begin(), m_words.end(), m_rng);
    }
    const std::string& next()
    {
        if (m_next >= m_words.size()) {
            std::shuffle(m_words.begin(), m_words.end(), m_rng);
            m_next = 0;
        }
        return m_words[m_next++];
    }

private:
    std::vector<std::string> m_words;
    Rng& m_rng;
    std::size_t m_next = 0;
};

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

bool zh(const Sheet& s)
{
    return s.style().language == "zh";
}

// The title at the top; returns where the body starts.
double drawTitle(Sheet& s, Rng& rng, double top)
{
    const std::string& t = zh(s) ? pick(rng, kChineseTitles) : pick(rng, kEnglishTitles);
    const double pt = uniform(rng, 15, 22);
    s.title(top + s.lineHeight(pt) / 2.0, q(t), pt);
    return top + s.lineHeight(pt) + uniform(rng, 0.4, 0.9);
}

double labelWidth(const Sheet& s)
{
    return zh(s) ? 2.4 : 3.4;
}

// Label | value pairs in ruled rows; some values merged over the rest of the row, some rows twice as tall.
void gridLabelValue(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.0, 1.8);
    double y = drawTitle(s, rng, m);
    Captions captions(rng, f.language);
    const int pairs = f.variant == 0 ? 2 : f.variant;
    const double width = s.widthCm() - 2 * m;
    const double label = labelWidth(s) + uniform(rng, -0.2, 0.6);
    const double value = (width - pairs * label) / pairs;
    const double rowH = uniform(rng, 0.85, 1.3);
    const double top = y;
    const int rows = between(rng, 5, std::max(6, static_cast<int>((s.heightCm() - y - m - 2.0) / rowH)));
    for (int r = 0; r < rows && y + rowH < s.heightCm() - m - 1.0; ++r) {
        const bool tall = chance(rng, 0.12);
        const double h = tall ? 2 * rowH : rowH;
        const bool merged = chance(rng, 0.25);
        double x = m;
        for (int p = 0; p < pairs; ++p) {
            const std::string& c = captions.next();
            s.labelCell(QRectF(x, y, label, h), c);
            const double w = merged ? width - (x - m) - label : value;
            s.valueCell(QRectF(x + label, y, w, h), c);
            x += label + w;
            if (merged)
                break;
        }
        y += h;
    }
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
    if (chance(rng, 0.6))
        s.underline(s.widthCm() - m - 6.5, y + 1.3, s.widthCm() - m, zh(s) ? "签名" : "Signature");
}

// Cells with the caption small at their top (variant 0) or at their left (variant 1).
void gridCaptionInside(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.0, 1.8);
    double y = drawTitle(s, rng, m);
    Captions captions(rng, f.language);
    const int cols = between(rng, 2, f.variant == 0 ? 4 : 3);
    const double width = s.widthCm() - 2 * m;
    const double colW = width / cols;
    const double rowH = f.variant == 0 ? uniform(rng, 1.2, 1.7) : uniform(rng, 0.9, 1.3);
    const double top = y;
    while (y + rowH < s.heightCm() - m - 0.5) {
        int c = 0;
        while (c < cols) {
            const int span = (cols - c >= 2 && chance(rng, 0.2)) ? 2 : 1;
            const QRectF cell(m + c * colW, y, span * colW, rowH);
            if (f.variant == 0)
                s.captionAboveCell(cell, captions.next());
            else
                s.captionLeftCell(cell, captions.next());
            c += span;
        }
        y += rowH;
        if (y - top > uniform(rng, 8, 25))
            break;
    }
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
}

// Captions followed by printed lines (variant 0) or dotted leaders (variant 1).
void underlines(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.2, 2.2);
    double y = drawTitle(s, rng, m) + 0.6;
    Captions captions(rng, f.language);
    const double gap = uniform(rng, 1.0, 1.5);
    const double width = s.widthCm() - 2 * m;
    while (y < s.heightCm() - m - 0.5) {
        const int n = between(rng, 1, 3);
        double x = m;
        for (int i = 0; i < n; ++i) {
            const double end = m + width * (i + 1) / n - (i + 1 < n ? 0.6 : 0);
            s.underline(x, y, end, captions.next(), f.variant == 1);
            x = end + 0.6;
        }
        y += gap;
        if (chance(rng, 0.08))
            y += gap;
    }
}

// Captions with a colon and open space after them, no lines; a date split by its units.
void openBlanks(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.2, 2.2);
    double y = drawTitle(s, rng, m) + 0.4;
    Captions captions(rng, f.language);
    const int cols = between(rng, 2, 3);
    const double width = s.widthCm() - 2 * m;
    const double gap = uniform(rng, 0.9, 1.3);
    while (y < s.heightCm() - m - 2.0) {
        for (int c = 0; c < cols; ++c)
            s.openBlank(m + width * c / cols, y, m + width * (c + 1) / cols - 0.3, captions.next());
        y += gap;
    }
    if (zh(s))
        s.unitRun(s.widthCm() - m - 7.0, y + 0.3, {"年", "月", "日"}, 1.4, false);
}

// Lines and check box groups: "性别：□男 □女".
void checkboxForm(Sheet& s, Rng& rng, const Family& f)
{
    static const std::vector<std::vector<std::string>> zhGroups = {
        {"性别", "男", "女"}, {"婚否", "已婚", "未婚"}, {"付款方式", "现金", "转账", "支票"},
        {"是否加急", "是", "否"}, {"办理方式", "本人", "代办"}, {"类别", "文件", "物品", "其他"}};
    static const std::vector<std::vector<std::string>> enGroups = {
        {"Gender", "Male", "Female"}, {"Payment", "Cash", "Cheque", "Card"}, {"Urgent", "Yes", "No"},
        {"Status", "Single", "Married"}, {"Delivery", "Standard", "Express"}};
    const auto& groups = zh(s) ? zhGroups : enGroups;
    const double m = uniform(rng, 1.2, 2.0);
    double y = drawTitle(s, rng, m) + 0.6;
    Captions captions(rng, f.language);
    const double width = s.widthCm() - 2 * m;
    const double side = uniform(rng, 0.35, 0.55);
    while (y < s.heightCm() - m - 0.5) {
        if (chance(rng, 0.4)) {
            const auto& g = pick(rng, groups);
            double x = m + s.text(m, y - 0.3, s.captionText(g[0]), s.style().captionPt) + 0.3;
            for (std::size_t i = 1; i < g.size(); ++i)
                x = s.checkbox(x, y - 0.3, side, g[i]) + 0.6;
        } else {
            const int n = between(rng, 1, 2);
            for (int i = 0; i < n; ++i)
                s.underline(m + width * i / n, y, m + width * (i + 1) / n - 0.5, captions.next());
        }
        y += uniform(rng, 1.1, 1.5);
    }
}

// A bank slip: payer and payee blocks, the amount in words and in digit cells under their units.
void bankSlip(Sheet& s, Rng& rng, const Family&)
{
    const double m = uniform(rng, 0.8, 1.4);
    s.title(m + 0.4, QStringLiteral("进账单"), uniform(rng, 16, 20));
    s.unitRun(s.widthCm() / 2 + 2.5, m + 0.9, {"年", "月", "日"}, 1.0, false);
    const double top = m + 1.4;
    const double width = s.widthCm() - 2 * m;
    const double half = width / 2;
    const double rowH = uniform(rng, 0.8, 1.0);
    const double strip = 0.8;
    const double label = 2.0;
    const std::vector<std::string> rows = {"全称", "账号", "开户银行"};
    for (int side = 0; side < 2; ++side) {
        const double x = m + side * half;
        s.frame(QRectF(x, top, strip, rowH * 3));
        s.centredText(QRectF(x, top, strip, rowH * 1.5), side == 0 ? QStringLiteral("付款") : QStringLiteral("收款"),
                      s.style().captionPt);
        s.centredText(QRectF(x, top + rowH * 1.5, strip, rowH * 1.5), QStringLiteral("人"), s.style().captionPt);
        for (int r = 0; r < 3; ++r) {
            s.labelCell(QRectF(x + strip, top + r * rowH, label, rowH), rows[r]);
            s.valueCell(QRectF(x + strip + label, top + r * rowH, half - strip - label, rowH), rows[r]);
        }
    }
    double y = top + 3 * rowH;
    // Amount: in words on the left, in digit cells under their units on the right.
    static const std::vector<std::string> units = {"亿", "千", "百", "十", "万", "千", "百", "十", "元", "角", "分"};
    const double cell = uniform(rng, 0.45, 0.6);
    const double digitsW = cell * 11;
    const double amountH = rowH * 1.6;
    s.labelCell(QRectF(m, y, strip + 1.0, amountH), "金额");
    const double wordsX = m + strip + 1.0;
    const double wordsW = width - (strip + 1.0) - digitsW;
    s.frame(QRectF(wordsX, y, wordsW, amountH));
    const double w = s.text(wordsX + 0.1, y + amountH / 2, QStringLiteral("人民币(大写)"), s.style().captionPt * 0.9);
    s.addField(QRectF(wordsX + 0.2 + w, y, wordsW - 0.2 - w, amountH), "cell", "大写");
    const double dx = wordsX + wordsW;
    for (int i = 0; i < 11; ++i)
        s.labelCell(QRectF(dx + i * cell, y, cell, amountH * 0.4), units[static_cast<std::size_t>(i)], s.style().captionPt * 0.8);
    s.digitCells(QRectF(dx, y + amountH * 0.4, digitsW, amountH * 0.6), 11, "金额");
    y += amountH;
    s.labelCell(QRectF(m, y, 2.4, rowH), "票据种类");
    s.valueCell(QRectF(m + 2.4, y, half - 2.4, rowH), "票据种类");
    s.labelCell(QRectF(m + half, y, 2.4, rowH), "票据张数");
    s.valueCell(QRectF(m + half + 2.4, y, half - 2.4, rowH), "票据张数");
    y += rowH;
    s.labelCell(QRectF(m, y, 2.4, rowH * 1.5), "备注");
    s.valueCell(QRectF(m + 2.4, y, width - 2.4, rowH * 1.5), "备注");
    y += rowH * 1.5;
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
}

// A two-column waybill: sender and receiver blocks with phone boxes and 省/市/区 runs, then the parcel.
void waybill(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 0.6, 1.0);
    s.title(m + 0.45, QStringLiteral("快递运单"), uniform(rng, 15, 19));
    const double top = m + 1.1;
    const double width = s.widthCm() - 2 * m;
    const double half = width / 2;
    const double rowH = uniform(rng, 0.85, 1.05);
    for (int side = 0; side < 2; ++side) {
        const double x = m + side * half;
        const std::string who = side == 0 ? "寄件人" : "收件人";
        double y = top;
        s.frame(QRectF(x, y, half, rowH * 0.8));
        s.text(x + 0.2, y + rowH * 0.4, q(who + "信息"), s.style().captionPt, {}, true);
        y += rowH * 0.8;
        s.captionLeftCell(QRectF(x, y, half, rowH), who);
        y += rowH;
        // Phone: caption then 11 digit boxes inside the cell.
        s.frame(QRectF(x, y, half, rowH));
        const double pw = s.text(x + 0.15, y + rowH / 2, s.captionText("电话"), s.style().captionPt);
        const double cell = std::min(0.55, (half - pw - 0.6) / 11);
        s.digitCells(QRectF(x + 0.3 + pw, y + rowH * 0.15, cell * 11, rowH * 0.7), 11, "电话");
        y += rowH;
        s.frame(QRectF(x, y, half, rowH * 2.2));
        const double blank = (half - 1.8) / 3 - 0.2;
        s.unitRun(x + 0.2, y + rowH * 0.95, {"省", "市", "区"}, blank, f.variant == 1);
        s.underline(x + 0.2, y + rowH * 2.0, x + half - 0.2, "详细地址");
        y += rowH * 2.2;
        s.frame(QRectF(x, y, half, rowH));
        const double zw = s.text(x + 0.15, y + rowH / 2, s.captionText("邮编"), s.style().captionPt);
        s.digitCells(QRectF(x + 0.3 + zw, y + rowH * 0.15, std::min(0.55, cell) * 6, rowH * 0.7), 6, "邮编");
    }
    double y = top + rowH * 6.0;
    s.frame(QRectF(m, y, width, rowH * 1.2));
    double x = m + 0.2 + s.text(m + 0.2, y + rowH * 0.6, s.captionText("物品类型"), s.style().captionPt) + 0.3;
    for (const char* kind : {"文件", "物品", "其他"})
        x = s.checkbox(x, y + rowH * 0.6, 0.4, kind) + 0.5;
    x += 0.4;
    x += s.text(x, y + rowH * 0.6, s.captionText("付款方式"), s.style().captionPt) + 0.3;
    for (const char* kind : {"寄付", "到付", "月结"})
        x = s.checkbox(x, y + rowH * 0.6, 0.4, kind) + 0.5;
    y += rowH * 1.2;
    const double third = width / 3;
    s.captionLeftCell(QRectF(m, y, third, rowH), "重量");
    s.captionLeftCell(QRectF(m + third, y, third, rowH), "件数");
    s.captionLeftCell(QRectF(m + 2 * third, y, third, rowH), "保价金额");
    y += rowH;
    if (y + 1.0 < s.heightCm() - m) {
        s.underline(m + 0.2, y + 0.9, m + half - 0.5, "寄件人签名");
        s.unitRun(m + half + 0.5, y + 0.9, {"年", "月", "日"}, 1.0, true);
    }
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
}

// Continuous stationery: tractor holes, header cells, an item table, the total in words and figures.
void continuousReceipt(Sheet& s, Rng& rng, const Family& f)
{
    const double hole = 1.27;
    s.tractorHoles(hole);
    const double m = hole + uniform(rng, 0.3, 0.8);
    const double width = s.widthCm() - 2 * m;
    static const std::vector<std::string> titles = {"收款收据", "门诊收费票据", "送货单", "销售清单"};
    const double titlePt = uniform(rng, 14, 18);
    s.title(0.4 + s.lineHeight(titlePt) / 2.0, q(pick(rng, titles)), titlePt);
    double y = 0.4 + s.lineHeight(titlePt) + uniform(rng, 0.3, 0.6);
    Captions captions(rng, f.language);
    const double rowH = uniform(rng, 0.65, 0.85);
    const double top = y;
    const int cols = 3;
    for (int c = 0; c < cols; ++c)
        s.captionLeftCell(QRectF(m + width * c / cols, y, width / cols, rowH), captions.next());
    y += rowH;
    static const std::vector<std::string> heads = {"项目", "规格", "数量", "单价", "金额"};
    const std::vector<double> share = {0.34, 0.18, 0.12, 0.16, 0.2};
    double x = m;
    for (std::size_t c = 0; c < heads.size(); ++c) {
        s.labelCell(QRectF(x, y, width * share[c], rowH), heads[c]);
        x += width * share[c];
    }
    y += rowH;
    const int rows = between(rng, 2, 8);
    for (int r = 0; r < rows && y + rowH * 3 < s.heightCm() - 0.4; ++r) {
        x = m;
        for (std::size_t c = 0; c < heads.size(); ++c) {
            s.valueCell(QRectF(x, y, width * share[c], rowH), heads[c]);
            x += width * share[c];
        }
        y += rowH;
    }
    s.labelCell(QRectF(m, y, 3.2, rowH), "合计(大写)");
    s.valueCell(QRectF(m + 3.2, y, width * 0.62 - 3.2, rowH), "合计(大写)");
    s.captionLeftCell(QRectF(m + width * 0.62, y, width * 0.38, rowH), "小写");
    y += rowH;
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
    if (y + 0.8 < s.heightCm()) {
        s.openBlank(m, y + 0.5, m + width / 3 - 0.3, "收款单位");
        s.openBlank(m + width / 3, y + 0.5, m + 2 * width / 3 - 0.3, "收款人");
        s.openBlank(m + 2 * width / 3, y + 0.5, m + width, "开票人");
    }
}

// A customer form of one-character boxes per line, with check boxes and signature lines.
void characterBoxes(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.2, 1.8);
    double y = drawTitle(s, rng, m) + 0.4;
    Captions captions(rng, f.language);
    const double cell = uniform(rng, 0.5, 0.65);
    const double label = labelWidth(s) + 0.4;
    const double width = s.widthCm() - 2 * m;
    while (y < s.heightCm() - m - 3.0) {
        const double r = uniform(rng, 0, 1);
        if (r < 0.6) {
            const std::string& c = captions.next();
            s.text(m, y + cell / 2, q(c), s.style().captionPt);
            const int n = std::max(4, static_cast<int>((width - label) / cell) - between(rng, 0, 10));
            s.digitCells(QRectF(m + label, y, n * cell, cell), n, c);
        } else if (r < 0.8) {
            const std::string& c = captions.next();
            const std::string& d = captions.next();
            s.text(m, y + cell / 2, q(c), s.style().captionPt);
            const int n = std::max(4, static_cast<int>((width / 2 - label) / cell) - 1);
            s.digitCells(QRectF(m + label, y, n * cell, cell), n, c);
            s.text(m + width / 2 + 0.3, y + cell / 2, q(d), s.style().captionPt);
            const double x2 = m + width / 2 + 0.3 + s.textWidth(q(d), s.style().captionPt) + 0.3;
            const int n2 = std::max(3, static_cast<int>((m + width - x2) / cell));
            s.digitCells(QRectF(x2, y, n2 * cell, cell), n2, d);
        } else {
            static const std::vector<std::string> zhLabels = {"本人确认以上信息真实有效", "同意接收短信通知", "地址无变更"};
            static const std::vector<std::string> enLabels = {"There is no change in my address",
                                                              "I agree to receive statements by email",
                                                              "Please update my phone number"};
            s.checkbox(m, y + cell / 2, cell * 0.9, pick(rng, zh(s) ? zhLabels : enLabels));
        }
        y += cell + uniform(rng, 0.4, 0.8);
    }
    s.underline(m, y + 1.2, m + width / 2 - 0.5, zh(s) ? "签名" : "Signature");
    s.underline(m + width / 2 + 0.5, y + 1.2, m + width, zh(s) ? "日期" : "Date");
}

// A header of open blanks and a ruled item table whose empty cells are captioned by their column.
void itemTable(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.0, 1.6);
    double y = drawTitle(s, rng, m);
    Captions captions(rng, f.language);
    const double width = s.widthCm() - 2 * m;
    s.openBlank(m, y, m + width / 2 - 0.3, captions.next());
    s.openBlank(m + width / 2, y, m + width, captions.next());
    y += 0.9;
    static const std::vector<std::string> zhHeads = {"品名", "规格", "单位", "数量", "单价", "金额", "备注"};
    static const std::vector<std::string> enHeads = {"Item", "Description", "Qty", "Unit Price", "Amount"};
    const auto& heads = zh(s) ? zhHeads : enHeads;
    const double rowH = uniform(rng, 0.7, 1.0);
    const double top = y;
    std::vector<double> widths;
    double sum = 0;
    for (std::size_t i = 0; i < heads.size(); ++i) {
        widths.push_back(uniform(rng, 1.0, 2.0) * (i == 0 ? 1.6 : 1.0));
        sum += widths.back();
    }
    double x = m;
    for (std::size_t c = 0; c < heads.size(); ++c) {
        widths[c] *= width / sum;
        s.labelCell(QRectF(x, y, widths[c], rowH), heads[c]);
        x += widths[c];
    }
    y += rowH;
    const int rows = between(rng, 3, 8);
    for (int r = 0; r < rows && y + rowH * 2 < s.heightCm() - m - 1.0; ++r) {
        x = m;
        for (std::size_t c = 0; c < heads.size(); ++c) {
            s.valueCell(QRectF(x, y, widths[c], rowH), heads[c]);
            x += widths[c];
        }
        y += rowH;
    }
    const std::string total = zh(s) ? "合计" : "Total";
    s.labelCell(QRectF(m, y, widths[0], rowH), total);
    s.valueCell(QRectF(m + widths[0], y, width - widths[0], rowH), total);
    y += rowH;
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
    y += 1.2;
    if (y < s.heightCm() - m) {
        s.underline(m, y, m + width / 2 - 0.5, zh(s) ? "经办人" : "Prepared by");
        s.underline(m + width / 2 + 0.5, y, m + width, zh(s) ? "审核人" : "Approved by");
    }
}

// A work permit: ruled cells with captions inside, check boxes inside a cell, a tall remarks cell, signatures.
void permit(Sheet& s, Rng& rng, const Family& f)
{
    const double m = uniform(rng, 1.0, 1.6);
    double y = drawTitle(s, rng, m);
    Captions captions(rng, f.language);
    const double width = s.widthCm() - 2 * m;
    const double rowH = uniform(rng, 0.9, 1.2);
    const double top = y;
    for (int r = 0; r < between(rng, 3, 6); ++r) {
        s.captionLeftCell(QRectF(m, y, width / 2, rowH), captions.next());
        s.captionLeftCell(QRectF(m + width / 2, y, width / 2, rowH), captions.next());
        y += rowH;
    }
    static const std::vector<std::string> checks = {"动火作业", "高处作业", "受限空间", "临时用电", "吊装作业", "动土作业"};
    s.frame(QRectF(m, y, width, rowH * 1.2));
    double x = m + 0.2 + s.text(m + 0.2, y + rowH * 0.6, s.captionText("作业类别"), s.style().captionPt) + 0.3;
    for (const std::string& c : checks) {
        if (x + 2.6 > m + width)
            break;
        x = s.checkbox(x, y + rowH * 0.6, 0.4, c) + 0.5;
    }
    y += rowH * 1.2;
    s.captionAboveCell(QRectF(m, y, width, rowH * 3), "安全措施");
    y += rowH * 3;
    const double third = width / 3;
    const char* signers[] = {"申请人", "监护人", "批准人"};
    for (int i = 0; i < 3; ++i) {
        const double x0 = m + third * i;
        s.frame(QRectF(x0, y, third, rowH * 1.6));
        s.underline(x0 + 0.2, y + rowH * 1.3, x0 + third - 0.2, signers[i]);
    }
    y += rowH * 1.6;
    s.frame(QRectF(m, top, width, y - top), s.style().frameCm);
}

std::vector<Family> makeFamilies()
{
    const QColor black(25, 25, 25), red(200, 60, 60), blue(40, 70, 170), green(40, 130, 80), paleRed(225, 110, 110),
        paleBlue(100, 140, 210), paleGreen(90, 170, 120), brown(120, 80, 40);
    return {
        {"grid_label_value_zh", "zh", 21.0, 29.7, black, false, false, false, gridLabelValue, 2},
        {"grid_label_value_zh_a5_blue", "zh", 14.8, 21.0, blue, false, false, false, gridLabelValue, 1},
        {"grid_three_pairs_zh_landscape", "zh", 29.7, 21.0, black, false, false, true, gridLabelValue, 3},
        {"grid_label_value_en", "en", 21.0, 29.7, black, false, false, false, gridLabelValue, 2},
        {"grid_caption_above_zh", "zh", 21.0, 29.7, black, false, false, false, gridCaptionInside, 0},
        {"grid_caption_above_en_green", "en", 21.0, 29.7, green, true, false, false, gridCaptionInside, 0},
        {"grid_caption_left_zh", "zh", 21.0, 29.7, black, false, true, false, gridCaptionInside, 1},
        {"grid_caption_left_en", "en", 21.59, 27.94, blue, false, false, false, gridCaptionInside, 1},
        {"underlines_zh", "zh", 21.0, 29.7, black, false, false, false, underlines, 0},
        {"underlines_en", "en", 21.59, 27.94, black, false, false, false, underlines, 0},
        {"dotted_leaders_en", "en", 21.0, 29.7, black, false, false, false, underlines, 1},
        {"dotted_leaders_zh_a5", "zh", 14.8, 21.0, brown, true, false, false, underlines, 1},
        {"open_blanks_zh", "zh", 21.0, 29.7, black, false, false, true, openBlanks, 0},
        {"open_blanks_en", "en", 21.0, 14.8, black, false, false, false, openBlanks, 0},
        {"check_boxes_zh", "zh", 21.0, 29.7, black, false, false, false, checkboxForm, 0},
        {"check_boxes_en_blue", "en", 21.0, 29.7, paleBlue, false, false, false, checkboxForm, 0},
        {"bank_slip_black", "zh", 21.0, 9.9, black, false, false, false, bankSlip, 0},
        {"bank_slip_pale_red", "zh", 21.0, 9.9, paleRed, true, false, true, bankSlip, 0},
        {"bank_slip_blue_watermark", "zh", 21.0, 9.9, paleBlue, true, true, false, bankSlip, 0},
        {"waybill_red", "zh", 24.0, 14.0, red, false, false, false, waybill, 0},
        {"waybill_green_lines", "zh", 24.0, 14.0, paleGreen, true, false, false, waybill, 1},
        {"waybill_black_stamped", "zh", 24.0, 14.0, black, false, true, true, waybill, 1},
        {"receipt_continuous_red", "zh", 24.1, 9.3, paleRed, true, false, true, continuousReceipt, 0},
        {"receipt_continuous_blue", "zh", 24.1, 14.0, paleBlue, false, false, false, continuousReceipt, 0},
        {"receipt_continuous_green_tint", "zh", 24.1, 11.0, paleGreen, true, true, false, continuousReceipt, 0},
        {"character_boxes_en", "en", 21.0, 29.7, black, false, false, false, characterBoxes, 0},
        {"character_boxes_zh", "zh", 21.0, 29.7, blue, false, false, false, characterBoxes, 0},
        {"item_table_zh", "zh", 21.0, 14.8, black, false, false, true, itemTable, 0},
        {"item_table_en", "en", 21.0, 29.7, black, false, false, false, itemTable, 0},
        {"permit_zh", "zh", 21.0, 29.7, black, false, false, false, permit, 0},
        {"permit_zh_red_stamped", "zh", 21.0, 29.7, red, true, false, true, permit, 0},
        {"grid_label_value_zh_stamped", "zh", 18.5, 26.0, black, false, true, true, gridLabelValue, 2},
    };
}

} // namespace

const std::vector<std::string>& captionWords(const std::string& language)
{
    return language == "zh" ? kChinese : kEnglish;
}

const std::vector<Family>& families()
{
    static const std::vector<Family> all = makeFamilies();
    return all;
}

// Values written into filled-in copies.
const std::vector<std::string>& fillValues(const std::string& language)
{
    return language == "zh" ? kChineseValues : kEnglishValues;
}

} // namespace ordavel::scanforms
