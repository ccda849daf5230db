// The traffic terminal: lines only while shown, time stamps, the input
// line, clearing on hide, its size kept per user.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include "memory_settings_store.h"
#include "ui/terminal_window.h"

namespace tessel::testing {
namespace {

TEST(TerminalWindow, LinesOnlyWhileVisibleEachWithATimeStamp) {
  TerminalWindow t(nullptr);
  EXPECT_EQ(t.windowTitle(), "Terminal");
  t.addLine(" < AT");
  EXPECT_TRUE(t.screen()->toPlainText().isEmpty());
  t.show();
  t.addLine(" < AT\r");
  // The radio's blank line before its answer is none of the screen's.
  t.addLine(" > ");
  t.addLine(" > \r\n");
  t.addLine(" > OK");
  const QStringList lines = t.screen()->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d < AT$"));
  EXPECT_TRUE(stamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith(QLatin1String(" > OK")));
  EXPECT_TRUE(t.screen()->isReadOnly());
  EXPECT_TRUE(t.screen()->font().fixedPitch());
  EXPECT_EQ(t.screen()->font().family(),
            QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
  EXPECT_EQ(t.screen()->focusPolicy() & Qt::TabFocus, 0);
  t.input()->setText("ATI");
  t.hide();
  EXPECT_TRUE(t.screen()->toPlainText().isEmpty());
  EXPECT_TRUE(t.input()->text().isEmpty());
}

TEST(TerminalWindow, EnterSendsTheTypedTextAndClearsTheBox) {
  TerminalWindow t(nullptr);
  std::vector<std::string> sent;
  t.onSend = [&](const std::string& line) { sent.push_back(line); };
  t.show();
  QTest::keyClicks(t.input(), "ATS3=M &x");
  EXPECT_TRUE(sent.empty());
  QTest::keyClick(t.input(), Qt::Key_Return);
  QTest::keyClicks(t.input(), "+++");
  QTest::keyClick(t.input(), Qt::Key_Enter);
  EXPECT_EQ(sent, (std::vector<std::string>{"ATS3=M &x", "+++"}));
  EXPECT_TRUE(t.input()->text().isEmpty());
}

// The newest line stays in view after the window is resized, until the
// user scrolls up, and again once they scroll back down.
TEST(TerminalWindow, FollowsNewTrafficThroughAResizeUntilScrolledAway) {
  TerminalWindow t(nullptr);
  t.show();
  QScrollBar* bar = t.screen()->verticalScrollBar();
  auto fill = [&](int n) {
    for (int i = 0; i < n; ++i) t.addLine(" > line " + std::to_string(i));
    QCoreApplication::processEvents();
  };
  fill(200);
  EXPECT_EQ(bar->value(), bar->maximum());
  t.resize(t.width() + 80, t.height() + 120);
  QCoreApplication::processEvents();
  t.resize(t.width() - 200, t.height() - 200);
  QCoreApplication::processEvents();
  fill(50);
  EXPECT_EQ(bar->value(), bar->maximum()) << "stopped following after a resize";
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  QCoreApplication::processEvents();
  const int kept = bar->value();
  fill(50);
  EXPECT_EQ(bar->value(), kept) << "scrolled away, the view stays where the user put it";
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  QCoreApplication::processEvents();
  fill(5);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(TerminalWindow, KeepsOnlyTheNewestLines) {
  TerminalWindow t(nullptr);
  t.show();
  for (int i = 0; i < TerminalWindow::kMaxLines + 5; ++i) t.addLine(" > " + std::to_string(i));
  EXPECT_EQ(t.screen()->blockCount(), TerminalWindow::kMaxLines);
  EXPECT_TRUE(t.screen()->document()->firstBlock().text().endsWith(QLatin1String(" > 5")));
}

TEST(TerminalWindow, SizeFromTheSettingsAndWrittenOnClose) {
  MemorySettingsStore settings;
  {
    TerminalWindow t(&settings);
    EXPECT_EQ(t.size(), QSize(729, 358));
  }
  settings.integers = {{"termWidth", 640}, {"termHeight", 300}};
  TerminalWindow t(&settings);
  EXPECT_EQ(t.size(), QSize(640, 300));
  t.show();
  t.resize(700, 320);
  t.close();
  EXPECT_EQ(settings.integers["termWidth"], 700);
  EXPECT_EQ(settings.integers["termHeight"], 320);
}

}  // namespace
}  // namespace tessel::testing
