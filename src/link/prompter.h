#pragma once

#include <QString>

namespace orva {

// What the link needs from the user. The window shows modal boxes; headless mode logs and answers
// from its options. Calls come from the thread that runs the link and block until answered.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void ShowMessage(const QString& title, const QString& text) = 0;
  virtual bool AskYesNo(const QString& text) = 0;
};

}  // namespace orva
