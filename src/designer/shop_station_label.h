#pragma once
// The status bar's word on the shop: when this user's station joined a shop,
// "站点：NAME（DATABASE）", and the shop's database as its tooltip; hidden
// otherwise. It reads shop.ini again every few seconds, so that a join or a
// leave by the tool shows without a restart.

#include "shop/shop_config.h"

#include <QLabel>

class QTimer;

namespace ordavel {

class ShopStationLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 5000;

    explicit ShopStationLabel(ShopConfig config = ShopConfig(), QWidget* parent = nullptr);

    // Reads the membership again now.
    void refresh();

private:
    ShopConfig m_config;
    QTimer* m_timer = nullptr;
};

} // namespace ordavel
