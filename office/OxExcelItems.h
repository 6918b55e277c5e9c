// The spreadsheet component's tree of items: workbooks, worksheets, ranges, hyperlinks and charts,
// each bound to its object on the server, keeping its design values while disconnected.
#pragma once

#include <cstdint>

#include "office/OxNested.h"
#include "platform/classlib/Graphics.h"
#include "platform/com/ExcelTlb.h"

class TOxExcel;
class TOxUnknownComponent;
QUORVEX_EXCEPTION(ERangeException, Exception);

// Enumerations carry the values the server is sent.
enum TOxXlCellOrientation : int32_t {
  xlcoDownward = -4170, xlcoHorizontal = -4128, xlcoUpward = -4171, xlcoVertical = -4166,
  xlcoRotated = 1  // sent as RotateDegrees
};
enum TOxXlCellHorizAlign : int32_t {
  xlchaGeneral = 1, xlchaLeft = -4131, xlchaCenter = -4108, xlchaRight = -4152, xlchaFill = -4117,
  xlchaJustify = -4130, xlchaCenterAcrossSelection = 7
};
enum TOxXlCellVertAlign : int32_t {
  xlcvaTop = -4160, xlcvaCenter = -4108, xlcvaBottom = -4107, xlcvaJustify = -4130, xlcvaDistributed = -4117
};
enum TOxXlInteriorPatterns : int32_t {
  xlipPatternAutomatic = -4105, xlipPatternChecker = 9, xlipPatternCrissCross = 16, xlipPatternDown = -4121,
  xlipPatternGray16 = 17, xlipPatternGray25 = -4124, xlipPatternGray50 = -4125, xlipPatternGray75 = -4126,
  xlipPatternGray8 = 18, xlipPatternGrid = 15, xlipPatternHorizontal = -4128, xlipPatternLightDown = 13,
  xlipPatternLightHorizontal = 11, xlipPatternLightUp = 14, xlipPatternLightVertical = 12,
  xlipPatternNone = -4142, xlipPatternSemiGray75 = 10, xlipPatternSolid = 1, xlipPatternUp = -4162,
  xlipPatternVertical = -4166
};
enum TOxXlBorderLineStyles : int32_t {
  xlblsContinuous = 1, xlblsDash = -4115, xlblsDashDot = 4, xlblsDashDotDot = 5, xlblsDot = -4118,
  xlblsDouble = -4119, xlblsLineStyleNone = -4142, xlblsSlantDashDot = 13
};
enum TOxXlBorderWeights : int32_t { xlbwHairline = 1, xlbwThin = 2, xlbwMedium = -4138, xlbwThick = 4 };
enum TOxXlChartType : int32_t {
  xlctArea = 1, xlctBar = 58, xlctLine = 4, xlctPie = 5, xlctRadar = -4151, xlctXYScatter = -4169,
  xlct3DArea = -4098, xlct3DBar = 61, xlct3DLine = -4101, xlct3DPie = -4102, xlct3DColumn = -4100,
  xlctDoughnut = -4120, xlctUnknown = -1
};
// The server value of a chart type; anything unknown reads as xlctUnknown.
TOxXlChartType ChartTypeFromServer(int32_t value);

// Sets, one bit per member.
enum TOxXlBorders : uint8_t { xlbLeft = 1, xlbRight = 2, xlbTop = 4, xlbBottom = 8 };
using TOxXlRangeBorders = uint8_t;
enum TOxXlFontAttributes : uint8_t { xlfaBold = 1, xlfaItalic = 2, xlfaUnderline = 4, xlfaStrikethrough = 8 };
using TOxXlRangeFontAttributes = uint8_t;

class TOxExcelWorkbook;
class TOxExcelWorksheet;
class TOxExcelRange;
class TOxExcelHyperlink;
class TOxExcelChart;

// One collection class per item class; Add makes and binds an item.
template <class TItem>
class TOxExcelCollection : public TOxNestedCollection {
public:
  TOxExcelCollection(TPersistent* owner, TOxOfficeComponent* root, const char* itemName)
      : TOxNestedCollection(owner, root), FItemName(itemName) {}
  AnsiString GetItemName() const override { return FItemName; }
  TItem* Add() { return AddItem<TItem>(); }
  TItem* Items(int index) const { return static_cast<TItem*>(NestedItems(index)); }

private:
  const char* FItemName;
};

class TOxExcelWorkbooks final : public TOxExcelCollection<TOxExcelWorkbook> {
public:
  explicit TOxExcelWorkbooks(TOxExcel* root);
};
class TOxExcelWorksheets final : public TOxExcelCollection<TOxExcelWorksheet> {
public:
  explicit TOxExcelWorksheets(TOxExcelWorkbook* owner);
};
class TOxExcelRanges final : public TOxExcelCollection<TOxExcelRange> {
public:
  explicit TOxExcelRanges(TOxExcelWorksheet* owner);
};
class TOxExcelHyperlinks final : public TOxExcelCollection<TOxExcelHyperlink> {
public:
  explicit TOxExcelHyperlinks(TOxExcelWorksheet* owner);
};
class TOxExcelCharts final : public TOxExcelCollection<TOxExcelChart> {
public:
  explicit TOxExcelCharts(TOxExcelWorksheet* owner);
};

// Items of a workbook opened from a file read their values from the server; the others send theirs.
class TOxExcelItem : public TOxNestedCollectionItem {
public:
  using TOxNestedCollectionItem::TOxNestedCollectionItem;
  TOxExcel* Excel() const;
  TOxExcelWorkbook* Workbook() const;
  TOxExcelWorksheet* Worksheet() const;

protected:
  bool Pushing() const;
  // The server's application; raises when not connected.
  IDispatch* ApplicationDispatch() const;
  // The application's active window's selected range, after activating this item's sheet.
  TComPtr<IDispatch> SelectedRange() const;
};

class TOxExcelWorkbook final : public TOxExcelItem {
public:
  explicit TOxExcelWorkbook(TOxNestedCollection* collection) : TOxExcelItem(collection) {}
  ~TOxExcelWorkbook() override;
  AnsiString ClassName() const override { return "TOxExcelWorkbook"; }

  const AnsiString& Filename() const { return FFilename; }
  void SetFilename(const AnsiString& name);
  TOxExcelWorksheets* Worksheets() const { return FWorksheets.get(); }
  // The sheets are stored with the form only for a workbook made from scratch.
  bool StoresWorksheets() const { return FFilename.empty(); }

  TOxNestedCollection* GetSubCollection(int index) const override;
  int SubCollectionCount() const override { return 1; }
  int VerbCount() const override { return 1; }
  AnsiString GetVerb(int index) const override;
  void Connect() override;
  void ExecuteVerb(int index) override;
  void Activate() override;

protected:
  void CreateSubCollections() override;

private:
  void openFile();
  AnsiString FFilename;
  std::unique_ptr<TOxExcelWorksheets> FWorksheets;
};

class TOxExcelWorksheet final : public TOxExcelItem {
public:
  explicit TOxExcelWorksheet(TOxNestedCollection* collection) : TOxExcelItem(collection) {}
  ~TOxExcelWorksheet() override;
  AnsiString ClassName() const override { return "TOxExcelWorksheet"; }

  WideString Name();
  void SetName(const WideString& name);
  TOxExcelRanges* Ranges() const { return FRanges.get(); }
  TOxExcelHyperlinks* Hyperlinks() const { return FHyperlinks.get(); }
  TOxExcelCharts* Charts() const { return FCharts.get(); }

  TOxNestedCollection* GetSubCollection(int index) const override;
  int SubCollectionCount() const override { return 3; }
  void Connect() override;
  void Activate() override;

protected:
  void CreateSubCollections() override;

private:
  WideString FName;
  std::unique_ptr<TOxExcelRanges> FRanges;
  std::unique_ptr<TOxExcelHyperlinks> FHyperlinks;
  std::unique_ptr<TOxExcelCharts> FCharts;
};

class TOxExcelRange final : public TOxExcelItem {
public:
  explicit TOxExcelRange(TOxNestedCollection* collection) : TOxExcelItem(collection) {}
  AnsiString ClassName() const override { return "TOxExcelRange"; }

  AnsiString Address();
  // A text the server rejects is reported in a message box and changes nothing.
  void SetAddress(const AnsiString& address);
  AnsiString SimpleText();
  void SetSimpleText(const AnsiString& text);
  // "(N/A)" stands for a block whose cells differ; it is not stored with the form.
  bool StoresSimpleText() const { return FSimpleText != NotAvailable; }
  static constexpr const char* NotAvailable = "(N/A)";

  const AnsiString& FontName() const { return FFontName; }
  void SetFontName(const AnsiString& v);
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor v);
  int FontSize() const { return FFontSize; }
  void SetFontSize(int v);
  TOxXlRangeFontAttributes FontAttributes() const { return FFontAttributes; }
  void SetFontAttributes(TOxXlRangeFontAttributes v);
  int IndentLevel() const { return FIndentLevel; }
  void SetIndentLevel(int v);
  TOxXlCellOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TOxXlCellOrientation v);
  bool ShrinkToFit() const { return FShrinkToFit; }
  void SetShrinkToFit(bool v);
  int RotateDegrees() const { return FRotateDegrees; }
  void SetRotateDegrees(int v);
  TOxXlCellHorizAlign HorizontalAlignment() const { return FHorizontalAlignment; }
  void SetHorizontalAlignment(TOxXlCellHorizAlign v);
  TOxXlCellVertAlign VerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TOxXlCellVertAlign v);
  int ColumnWidth() const { return FColumnWidth; }
  void SetColumnWidth(int v);
  int RowHeight() const { return FRowHeight; }
  void SetRowHeight(int v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TOxXlInteriorPatterns Pattern() const { return FPattern; }
  void SetPattern(TOxXlInteriorPatterns v);
  TColor PatternColor() const { return FPatternColor; }
  void SetPatternColor(TColor v);
  TOxXlBorderLineStyles BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TOxXlBorderLineStyles v);
  TOxXlBorderWeights BorderLineWeight() const { return FBorderLineWeight; }
  void SetBorderLineWeight(TOxXlBorderWeights v);
  TOxXlRangeBorders Borders() const { return FBorders; }
  void SetBorders(TOxXlRangeBorders v);
  bool WrapText() const { return FWrapText; }
  void SetWrapText(bool v);
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  TOxUnknownComponent* OfficeModel() const { return FOfficeModel; }
  void SetOfficeModel(TOxUnknownComponent* model);
  bool ClearOnMove() const { return FClearOnMove; }
  void SetClearOnMove(bool v) { FClearOnMove = v; }

  int VerbCount() const override { return 3; }
  AnsiString GetVerb(int index) const override;
  void Connect() override;
  void ExecuteVerb(int index) override;
  void Activate() override;
  // Fills the worksheet from the office model (see the data-model unit).
  void Populate();

private:
  // Binds the server object to the address; clearOld says the old one is left behind by a move.
  void applyAddress(const AnsiString& address, bool clearOld);
  void put(const std::vector<DISPID>& path, const OleVariant& value, const std::vector<OleVariant>& args = {});
  void applyBorderStyle();
  void applyBorderWeight();

  AnsiString FFontName;
  TColor FFontColor = clWindowText;
  int FFontSize = 12;
  TOxXlRangeFontAttributes FFontAttributes = 0;
  int FIndentLevel = 0;
  TOxXlCellOrientation FOrientation = xlcoHorizontal;
  bool FShrinkToFit = false;
  int FRotateDegrees = 0;
  TOxXlCellHorizAlign FHorizontalAlignment = xlchaLeft;
  TOxXlCellVertAlign FVerticalAlignment = xlcvaBottom;
  int FColumnWidth = 20;
  int FRowHeight = 12;
  TColor FColor = clWindow;
  TOxXlInteriorPatterns FPattern = xlipPatternNone;
  TColor FPatternColor = 0xFFFFFF;
  TOxXlBorderLineStyles FBorderStyle = xlblsLineStyleNone;
  TOxXlBorderWeights FBorderLineWeight = xlbwHairline;
  TOxXlRangeBorders FBorders = 0;
  bool FWrapText = false;
  AnsiString FName;
  TOxUnknownComponent* FOfficeModel = nullptr;
  bool FClearOnMove = false;
  AnsiString FSimpleText;
  AnsiString FAddress;
};

class TOxExcelHyperlink final : public TOxExcelItem {
public:
  explicit TOxExcelHyperlink(TOxNestedCollection* collection) : TOxExcelItem(collection) {}
  ~TOxExcelHyperlink() override;
  AnsiString ClassName() const override { return "TOxExcelHyperlink"; }

  AnsiString Address();
  void SetAddress(const AnsiString& v);
  AnsiString SubAddress();
  void SetSubAddress(const AnsiString& v);
  AnsiString AnchorCell();
  void SetAnchorCell(const AnsiString& v);
  bool NewWindow() const { return FNewWindow; }
  void SetNewWindow(bool v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);

  int VerbCount() const override { return 1; }
  AnsiString GetVerb(int index) const override;
  void Connect() override;
  void ExecuteVerb(int index) override;

private:
  AnsiString text(AnsiString& field, DISPID dispid);
  void setText(AnsiString& field, DISPID dispid, const AnsiString& v);
  void deleteOnServer();
  void recreate();
  AnsiString FAddress, FSubAddress, FAnchorCell;
  bool FNewWindow = false;
  bool FVisible = false;
};

class TOxExcelChart final : public TOxExcelItem {
public:
  explicit TOxExcelChart(TOxNestedCollection* collection) : TOxExcelItem(collection) {}
  ~TOxExcelChart() override;
  AnsiString ClassName() const override { return "TOxExcelChart"; }

  // Pixels here, points on the server.
  int Left() { return geometry(FLeft, DISPID_Left); }
  void SetLeft(int v) { setGeometry(FLeft, DISPID_Left, v); }
  int Top() { return geometry(FTop, DISPID_Top); }
  void SetTop(int v) { setGeometry(FTop, DISPID_Top, v); }
  int Width() { return geometry(FWidth, DISPID_Width); }
  void SetWidth(int v) { setGeometry(FWidth, DISPID_Width, v); }
  int Height() { return geometry(FHeight, DISPID_Height); }
  void SetHeight(int v) { setGeometry(FHeight, DISPID_Height, v); }
  const AnsiString& DataRange() const { return FDataRange; }
  void SetDataRange(const AnsiString& v);
  TOxXlChartType ChartType();
  void SetChartType(TOxXlChartType v);

  int VerbCount() const override { return 1; }
  AnsiString GetVerb(int index) const override;
  void Connect() override;
  void ExecuteVerb(int index) override;
  void Activate() override;

private:
  TComPtr<IDispatch> chartObject() const;
  int geometry(int& field, DISPID dispid);
  void setGeometry(int& field, DISPID dispid, int v);
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  AnsiString FDataRange;
  TOxXlChartType FChartType = xlctArea;
};

// The binding rule of the spreadsheet component for each kind of item.
TComPtr<IDispatch> OxExcelCreateItem(TOxExcel& excel, TOxNestedCollectionItem* item);
