#include "ui/language_menu.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace orva {

QMenuBar* BuildLanguageMenu(QWidget* parent, const QString& current,
                            std::function<void(const QString& letter)> chosen) {
  static const struct {
    const char* letter;
    const char* name;  // in its own language, as a speaker looks for it
  } kLanguages[] = {{"N", "Nederlands"},         {"F", "Français"},  {"D", "Deutsch"},
                    {"B", "Português (Brasil)"}, {"P", "Português"}, {"S", "Español"},
                    {"I", "Italiano"},           {"O", "Polski"},    {"E", "English"}};
  auto* bar = new QMenuBar(parent);
  QMenu* menu = bar->addMenu(QStringLiteral("&Language"));
  menu->setObjectName(QStringLiteral("mnuLanguage"));
  auto* group = new QActionGroup(menu);
  for (const auto& language : kLanguages) {
    const QString letter = QLatin1String(language.letter);
    QAction* action = menu->addAction(QString::fromUtf8(language.name));
    action->setObjectName(QStringLiteral("mnuLanguage") + letter);
    action->setCheckable(true);
    action->setChecked(letter == current);
    group->addAction(action);
    QObject::connect(action, &QAction::triggered, parent, [chosen, letter] { chosen(letter); });
  }
  return bar;
}

}  // namespace orva
