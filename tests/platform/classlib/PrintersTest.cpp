#include <gtest/gtest.h>

#include "platform/classlib/Printers.h"

namespace {

TPrinterQueueSource Queues(std::vector<AnsiString> names, int defaultIndex) {
  return [=] { return TPrinterQueues{names, defaultIndex}; };
}

TEST(Printers, TheDefaultQueueIsCurrentUntilAnotherIsChosen) {
  TPrinter p(Queues({"laser", "office", "plotter"}, 1));
  ASSERT_EQ(p.Printers().Count(), 3);
  EXPECT_EQ(p.Printers()[2], "plotter");
  EXPECT_EQ(p.PrinterIndex(), 1);
  EXPECT_EQ(p.PrinterName(), "office");
  p.SetPrinterIndex(2);
  EXPECT_EQ(p.PrinterName(), "plotter");
  p.SetPrinterIndex(-1);
  EXPECT_EQ(p.PrinterName(), "office");
  EXPECT_THROW(p.SetPrinterIndex(3), EPrinter);
  EXPECT_THROW(p.SetPrinterIndex(-2), EPrinter);
  EXPECT_EQ(p.PrinterIndex(), 1);
}

TEST(Printers, NoDefaultMeansTheFirstAndNoQueuesMeansNone) {
  TPrinter first(Queues({"a", "b"}, -1));
  EXPECT_EQ(first.PrinterIndex(), 0);
  TPrinter none(Queues({}, 0));
  EXPECT_EQ(none.Printers().Count(), 0);
  EXPECT_EQ(none.PrinterIndex(), -1);
  EXPECT_EQ(none.PrinterName(), "");
  EXPECT_THROW(none.SetPrinterIndex(0), EPrinter);
  none.SetPrinterIndex(-1);
}

TEST(Printers, RefreshKeepsTheChosenPrinterByName) {
  std::vector<AnsiString> names{"a", "b", "c"};
  TPrinter p([&] { return TPrinterQueues{names, 0}; });
  p.SetPrinterIndex(2);
  names = {"c", "a"};
  p.Refresh();
  EXPECT_EQ(p.PrinterIndex(), 0);
  EXPECT_EQ(p.PrinterName(), "c");
  names = {"a"};
  p.Refresh();
  EXPECT_EQ(p.PrinterName(), "a");  // the chosen one went away: back to the default
}

TEST(Printers, OrientationAndCopies) {
  TPrinter p(Queues({"a"}, 0));
  EXPECT_EQ(p.Orientation(), poPortrait);
  EXPECT_EQ(p.Copies(), 1);
  p.SetOrientation(poLandscape);
  p.SetCopies(3);
  EXPECT_EQ(p.Orientation(), poLandscape);
  EXPECT_EQ(p.Copies(), 3);
  EXPECT_THROW(p.SetCopies(0), EPrinter);
  EXPECT_EQ(p.Copies(), 3);
}

TEST(Printers, TheProcessPrinterCanBeReplaced) {
  auto old = SetPrinter(std::make_unique<TPrinter>(Queues({"x"}, 0)));
  EXPECT_EQ(Printer().PrinterName(), "x");
  SetPrinter(std::move(old));
}

TEST(Printers, TheSystemListIsReadWithoutFailing) {
  // Whatever the machine has (often nothing): names are not empty and the default is among them.
  TPrinterQueues q = SystemPrinterQueues();
  for (const AnsiString& n : q.Names) EXPECT_FALSE(n.empty());
  EXPECT_LT(q.DefaultIndex, static_cast<int>(q.Names.size()));
}

}  // namespace
