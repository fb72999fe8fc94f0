#include "window_fit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include "screenshot.h"

namespace ui_qt {
namespace {

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
  }
}

QString SizeText(QSize size) { return QString("%1 x %2").arg(size.width()).arg(size.height()); }

QString Describe(const QWidget* widget, const QString& text) {
  QString name = widget->metaObject()->className();
  if (!widget->objectName().isEmpty()) name += " " + widget->objectName();
  if (!text.isEmpty()) name += " \"" + QString(text).replace('\n', "\\n") + "\"";
  return name;
}

// Room a label's text gets: the contents less its margin and, with a frame, the indent
// QLabel then keeps on the aligned side.
QSize LabelRoom(const QLabel* label) {
  QRect room = label->contentsRect();
  const int margin = label->margin();
  room.adjust(margin, margin, -margin, -margin);
  int indent = label->indent();
  if (indent < 0) indent = label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance('x') / 2 : 0;
  return QSize(room.width() - indent, room.height());
}

QString LabelProblem(const QLabel* label) {
  const QString text = label->text();
  if (text.isEmpty()) return {};
  const QString name = Describe(label, text);
  if (label->wordWrap()) {
    const int needed = label->heightForWidth(label->width());
    if (needed > label->height()) {
      return QString("%1 wraps to %2 px of height but has %3").arg(name).arg(needed).arg(label->height());
    }
    return {};
  }
  const bool rich = label->textFormat() == Qt::RichText ||
                    (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
  const QSize needed = rich ? label->minimumSizeHint()
                            : label->fontMetrics().size(Qt::TextShowMnemonic, text);
  const QSize room = rich ? label->size() : LabelRoom(label);
  if (needed.width() > room.width() || needed.height() > room.height()) {
    return QString("%1 is cut off: needs %2, has %3").arg(name, SizeText(needed), SizeText(room));
  }
  return {};
}

QString ButtonProblem(const QAbstractButton* button) {
  const QString text = button->text();
  if (text.isEmpty()) return {};
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = text;
  option.icon = button->icon();
  option.iconSize = button->iconSize();
  QStyle::SubElement contents;
  if (const auto* push = qobject_cast<const QPushButton*>(button)) {
    contents = QStyle::SE_PushButtonContents;
    if (push->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
    if (push->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    if (push->isFlat()) option.features |= QStyleOptionButton::Flat;
  } else if (qobject_cast<const QCheckBox*>(button)) {
    contents = QStyle::SE_CheckBoxContents;
  } else if (qobject_cast<const QRadioButton*>(button)) {
    contents = QStyle::SE_RadioButtonContents;
  } else {
    if (button->width() < button->minimumSizeHint().width()) {
      return Describe(button, text) + " is narrower than its smallest size";
    }
    return {};
  }
  const QRect room = button->style()->subElementRect(contents, &option, button);
  int needed = button->fontMetrics().size(Qt::TextShowMnemonic, text).width();
  if (!option.icon.isNull()) needed += option.iconSize.width() + 4;
  if (needed > room.width()) {
    return QString("%1 is cut off: its text needs %2 px, has %3")
        .arg(Describe(button, text))
        .arg(needed)
        .arg(room.width());
  }
  return {};
}

QString GroupBoxProblem(const QGroupBox* box) {
  if (box->title().isEmpty()) return {};
  QStyleOptionGroupBox option;
  option.initFrom(box);
  option.text = box->title();
  option.lineWidth = 1;
  option.textAlignment = Qt::Alignment(box->alignment());
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  if (box->isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
  if (box->isFlat()) option.features |= QStyleOptionFrame::Flat;
  const QRect label =
      box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
  const int needed = box->fontMetrics().size(Qt::TextShowMnemonic, box->title()).width();
  if (!box->rect().contains(label) || label.width() < needed) {
    return QString("the title of %1 is cut off: it needs %2 px, the box is %3 wide")
        .arg(Describe(box, box->title()))
        .arg(needed)
        .arg(box->width());
  }
  return {};
}

// A widget that a scroll area shows is moved about inside its viewport on purpose.
bool ScrolledContent(const QWidget* widget) {
  const QWidget* parent = widget->parentWidget();
  const auto* area = parent ? qobject_cast<const QAbstractScrollArea*>(parent->parentWidget())
                            : nullptr;
  return area && area->viewport() == parent;
}

QString PlacementProblem(const QWidget* widget) {
  if (ScrolledContent(widget)) return {};
  const QWidget* parent = widget->parentWidget();
  if (parent->rect().contains(widget->geometry())) return {};
  const QRect g = widget->geometry();
  return QString("%1 lies outside %2: at %3,%4 size %5 in %6")
      .arg(Describe(widget, {}), Describe(parent, {}))
      .arg(g.x())
      .arg(g.y())
      .arg(SizeText(g.size()), SizeText(parent->size()));
}

}  // namespace

QSize UsableArea(QSize screen) { return QSize(screen.width() - 8, screen.height() - 40 - 34); }

QStringList FitProblems(QWidget& window, QSize screen) {
  if (!window.isVisible()) window.show();
  const QSize area = UsableArea(screen);
  window.resize(window.size().boundedTo(area));
  Settle();
  QStringList problems;
  if (window.width() > area.width() || window.height() > area.height()) {
    problems << QString("the window needs %1, the screen leaves %2")
                    .arg(SizeText(window.size()), SizeText(area));
  }
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->isWindow() || !widget->isVisibleTo(&window)) continue;
    QString problem = PlacementProblem(widget);
    if (problem.isEmpty()) {
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        problem = LabelProblem(label);
      } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        problem = ButtonProblem(button);
      } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        problem = GroupBoxProblem(box);
      }
    }
    if (!problem.isEmpty()) problems << problem;
  }
  return problems;
}

::testing::AssertionResult FitsScreens(QWidget& window, const QString& repository_root,
                                       const QString& name) {
  const QSize own_size = window.isVisible() ? window.size() : QSize();
  QStringList report;
  for (QSize screen : {kTillScreen, kSmallScreen}) {
    if (own_size.isValid()) window.resize(own_size);
    const QString size_name = QString("%1x%2").arg(screen.width()).arg(screen.height());
    for (const QString& problem : FitProblems(window, screen)) {
      report << size_name + ": " + problem;
    }
#ifdef __SANITIZE_THREAD__
    // Under the thread sanitizer the picture is left out: Qt converts large images on its
    // own threads, whose locking it cannot see in the uninstrumented Qt libraries.
    (void)repository_root;
#else
    if (!SaveScreenshot(window, repository_root, name + "-" + size_name)) {
      report << size_name + ": the picture could not be saved";
    }
#endif
  }
  window.resize(own_size.isValid() ? own_size : window.size());
  Settle();
  if (report.isEmpty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name.toStdString() << " does not fit:\n  "
                                       << report.join("\n  ").toStdString();
}

}  // namespace ui_qt
