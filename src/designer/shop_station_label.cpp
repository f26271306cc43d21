#include "designer/shop_station_label.h"

#include "shop/connection_string.h"

#include <QTimer>

namespace ordavel {

ShopStationLabel::ShopStationLabel(ShopConfig config, QWidget* parent) : QLabel(parent), m_config(std::move(config))
{
    setObjectName(QStringLiteral("标签_站点"));
    m_timer = new QTimer(this);
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ShopStationLabel::refresh);
    m_timer->start();
    refresh();
}

void ShopStationLabel::refresh()
{
    const auto shop = m_config.load();
    if (!shop.ok()) {
        setText(QStringLiteral("站点：shop.ini 有误"));
        setToolTip(QString::fromStdString(shop.error()));
        show();
        return;
    }
    if (!shop.value()) {
        hide();
        return;
    }
    const std::string database = describeConnection(shop.value()->connection);
    setText(QStringLiteral("站点：%1（%2）")
                .arg(QString::fromStdString(shop.value()->station), QString::fromStdString(database)));
    setToolTip(QStringLiteral("这台电脑的打印记录在共享的数据库 %1 里").arg(QString::fromStdString(database)));
    show();
}

} // namespace ordavel
