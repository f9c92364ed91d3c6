#pragma once

#include <QString>

#include <functional>

class QMenuBar;
class QWidget;

namespace orva {

// The menu bar with the "Language" menu: one checkable entry per language the texts come in,
// `current` checked. `chosen` hears the letter of the entry the user picks.
QMenuBar* BuildLanguageMenu(QWidget* parent, const QString& current,
                            std::function<void(const QString& letter)> chosen);

}  // namespace orva
