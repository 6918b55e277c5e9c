// Chart objects of a worksheet and the charts they hold.
#pragma once

#include "platform/com/XlWorksheet.h"

class TXlChartObject;

class TXlChart final : public TXlObject<ExcelChart> {
public:
  explicit TXlChart(TXlChartObject* parent);
  void Detach() { FParent = nullptr; }
  int ChartType = xlArea;
  WideString Source;

private:
  TXlChartObject* FParent;
};

class TXlChartObject final : public TXlObject<IDispatch> {
public:
  TXlChartObject(TXlWorksheet* sheet, WideString name, double l, double t, double w, double h);
  void Detach() {
    FSheet = nullptr;
    FChart->Detach();
  }
  void CheckAlive() const {
    if (!FSheet) XlServerError("The chart object has been deleted.");
  }
  WideString Name;
  double Left, Top, Width, Height;
  TComPtr<TXlChart> FChart;

private:
  TXlWorksheet* FSheet;
};

// The sheet's chart objects as a collection.
TComPtr<IDispatch> XlMakeChartObjects(TComPtr<TXlWorksheet> sheet);
