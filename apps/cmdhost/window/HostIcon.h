// The command host's icon (window, tray, about box), drawn for the suite.
#pragma once
#include <QIcon>

namespace cmdhost {

QIcon HostIcon();

}  // namespace cmdhost
