#pragma once
// The cells option of the text box and label dialogs: "逐格打印" with the
// number of cells, and "¥ 在首位前", which means something only with cells on
// and is enabled only then. Nothing reaches the box until the dialog applies it.

#include <QGroupBox>

class QCheckBox;
class QSpinBox;

namespace ordavel {

struct BoxAttributes;

class CellGroup : public QGroupBox {
public:
    // Cells offered when the option is switched on for a box without them:
    // 亿千百十万千百十元角分.
    static constexpr int kDefaultCells = 11;

    explicit CellGroup(QWidget* parent = nullptr);

    void load(const BoxAttributes& attributes);
    // cellCount (0 with the option off) and yenBeforeFirst (false then).
    void store(BoxAttributes& attributes) const;

private:
    void follow();

    QCheckBox* m_cells;
    QSpinBox* m_count;
    QCheckBox* m_yen;
};

} // namespace ordavel
