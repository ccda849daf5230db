// The traffic terminal: lines only while shown, time stamps, the input
// line, clearing on hide, its size kept per user.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include "memory_settings_store.h"
#include "ui/terminal_window.h"

namespace tessel::testing {
namespace {

TEST(TerminalWindow, LinesOnlyWhileVisibleEachWithATimeStamp) {
  TerminalWindow t(nullptr);
  EXPECT_EQ(t.windowTitle(), "terminal");
  t.addLine(" < AT");
  EXPECT_TRUE(t.screen()->toPlainText().isEmpty());
  t.show();
  t.addLine(" < AT");
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
