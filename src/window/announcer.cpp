#include "window/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <mutex>

namespace tambrel {
namespace {

// An empty widget that paints nothing and takes no input: only its
// accessible side, a notification named by what is to be said, matters.
class Notice final : public QWidget {
  Q_OBJECT

 public:
  Notice(const QString& text, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("announcement"));
    setAccessibleName(text);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 1, 1);
  }
};

QAccessibleInterface* NoticeFactory(const QString& /*className*/, QObject* object) {
  if (auto* notice = qobject_cast<Notice*>(object)) {
    return new QAccessibleWidget(notice, QAccessible::Notification);
  }
  return nullptr;
}

}  // namespace

Announcer::Announcer(QWidget* window) : window_(window) {
  static std::once_flag factoryInstalled;
  std::call_once(factoryInstalled, [] { QAccessible::installFactory(NoticeFactory); });
}

void Announcer::Say(const QString& text) {
  // The previous notice goes once the event loop is back, so a screen
  // reader still busy with it can finish reading it.
  if (current_) current_->deleteLater();
  auto* notice = new Notice(text, window_);
  current_ = notice;
  notice->show();
}

void Announcer::RunEnded(const LabelArray& labels, const ShownRows& rows) {
  if (!rows.empty()) Say(QString::fromStdString(SpokenValues(labels, rows)));
}

void Announcer::Cleared() { Say(QStringLiteral("Results cleared")); }

void Announcer::Copied(int count) { Say(QString::fromStdString(CountOfValues(count) + " copied")); }

}  // namespace tambrel

#include "announcer.moc"
