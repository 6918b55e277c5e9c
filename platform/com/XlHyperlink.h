// Hyperlinks of a worksheet, on a cell or on a chart object's shape.
#pragma once

#include "platform/com/XlChart.h"

class TXlHyperlink final : public TXlObject<IDispatch> {
public:
  TXlHyperlink(TXlWorksheet* sheet, TXlArea anchor, TXlChartObject* shape, WideString address, WideString sub);
  void Detach() { FSheet = nullptr; }
  TXlArea Anchor;
  TComPtr<TXlChartObject> ShapeAnchor;
  WideString Address, SubAddress;
  int FollowCount = 0;

private:
  void checkAlive() const {
    if (!FSheet) XlServerError("The hyperlink has been deleted.");
  }
  TXlWorksheet* FSheet;
};

// The sheet's hyperlinks as a collection.
TComPtr<IDispatch> XlMakeHyperlinks(TComPtr<TXlWorksheet> sheet);
