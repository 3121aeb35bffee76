#pragma once

class QCoreApplication;

namespace app {

// The interface is Japanese on any system: the toolkit's own texts (context menus, message-box
// buttons) come from its Japanese translation, and the web engine takes the Japanese locale for
// its own. Before the first web view. False when the translation is not installed.
bool useJapanese(QCoreApplication &app);

}  // namespace app
