// International support of the entry fields: the regional conventions read once at start, the date
// and time masks built from them, and the conversions between date and time texts and their values.
#pragma once

#include <array>

#include "controls/ctlDates.h"
#include "platform/rtl/AnsiString.h"

// Capacities of the texts kept; longer settings are cut.
constexpr int ctlCurrencyTextCapacity = 5;
constexpr int ctlAmPmTextCapacity = 5;
constexpr int ctlCountryCapacity = 255;
constexpr int ctlShortDateCapacity = 29;
constexpr int ctlLongDateCapacity = 39;
constexpr int ctlLiteralSlotCapacity = 6;
constexpr int ctlPictureCapacity = 255;

using TCtlLiteralSlots = std::array<AnsiString, 3>;

// The long date picture as the fields use it: quoted texts moved to the slots, day and month names
// marked, a space after each comma and full stop.
AnsiString CtlLongDatePicture(const AnsiString& Setting, TCtlLiteralSlots& Slots);

class TCtlIntlSup {
public:
  // Sets the defaults, then reads the regional settings.
  TCtlIntlSup();

  void LoadRegionalSettings();

  // "hh:mm:ss" with the hour space-padded without the leading-zero setting, cut to "hh:mm" without
  // seconds, and followed by the AM/PM field on a twelve-hour clock.
  AnsiString IntlTimeMask(bool ShowSeconds) const;
  // The short date picture with day and month two wide and the year two wide, or four with ForceCentury.
  AnsiString IntlDateMask(bool ForceCentury) const;
  const AnsiString& CurrencyTextLeft() const { return FCurrencyLeft; }
  const AnsiString& CurrencyTextRight() const { return FCurrencyRight; }

  // Conversions under a picture; picture and text have the same length, position by position.
  TCtlDate DateFromDateText(const AnsiString& Picture, const AnsiString& Text, int Epoch) const;
  bool DMYFromDateText(const AnsiString& Picture, const AnsiString& Text, int Epoch, int& Day, int& Month,
                       int& Year) const;
  bool DateTextIsBlank(const AnsiString& Picture, const AnsiString& Text) const;
  AnsiString DateTextFromDate(const AnsiString& Picture, TCtlDate Date, bool Pack) const;
  AnsiString DateTextFromDMY(const AnsiString& Picture, int Day, int Month, int Year, int Epoch, bool Pack) const;
  TCtlTime TimeFromTimeText(const AnsiString& Picture, const AnsiString& Text) const;
  bool HMSFromTimeText(const AnsiString& Picture, const AnsiString& Text, int& Hours, int& Minutes,
                       int& Seconds) const;
  AnsiString TimeTextFromTime(const AnsiString& Picture, TCtlTime Time, bool Pack) const;

  // The same over NUL-terminated buffers; a destination holds ctlPictureCapacity + 1 bytes.
  char* IntlTimeMask(char* Dest, bool ShowSeconds) const;
  char* IntlDateMask(char* Dest, bool ForceCentury) const;
  TCtlDate DateFromDateText(const char* Picture, const char* Text, int Epoch) const;
  bool DMYFromDateText(const char* Picture, const char* Text, int Epoch, int& Day, int& Month, int& Year) const;
  bool DateTextIsBlank(const char* Picture, const char* Text) const;
  char* DateTextFromDate(char* Dest, const char* Picture, TCtlDate Date, bool Pack) const;
  char* DateTextFromDMY(char* Dest, const char* Picture, int Day, int Month, int Year, int Epoch, bool Pack) const;
  TCtlTime TimeFromTimeText(const char* Picture, const char* Text) const;
  bool HMSFromTimeText(const char* Picture, const char* Text, int& Hours, int& Minutes, int& Seconds) const;
  char* TimeTextFromTime(char* Dest, const char* Picture, TCtlTime Time, bool Pack) const;

  char DecimalChar() const { return FDecimalChar; }
  char ThousandsChar() const { return FThousandsChar; }
  int CurrencyDigits() const { return FCurrencyDigits; }
  char ListChar() const { return FListChar; }
  char DateSeparator() const { return FDateSeparator; }
  char TimeSeparator() const { return FTimeSeparator; }
  char TrueChar() const { return FTrueChar; }
  char FalseChar() const { return FFalseChar; }
  char YesChar() const { return FYesChar; }
  char NoChar() const { return FNoChar; }
  const AnsiString& AMText() const { return FAMText; }
  const AnsiString& PMText() const { return FPMText; }
  const AnsiString& Country() const { return FCountry; }
  int CurrencyPosition() const { return FCurrencyPosition; }
  int NegCurrencyFormat() const { return FNegCurrencyFormat; }
  bool LeadingZero() const { return FLeadingZero; }
  bool TwelveHour() const { return FTwelveHour; }
  const AnsiString& ShortDatePicture() const { return FShortDatePicture; }
  const AnsiString& LongDatePicture() const { return FLongDatePicture; }
  // The texts behind the markers "f", "g" and "h" of the long date picture.
  const AnsiString& LiteralSlot(int Index) const { return FLiteralSlots.at(static_cast<std::size_t>(Index)); }

private:
  void fillLiterals(AnsiString& text, const AnsiString& picture) const;

  AnsiString FCurrencyLeft = "$";
  AnsiString FCurrencyRight;
  char FDecimalChar = '.';
  char FThousandsChar = ',';
  int FCurrencyDigits = 2;
  char FListChar = ',';
  char FDateSeparator = '/';
  char FTrueChar = 'T';
  char FFalseChar = 'F';
  char FYesChar = 'Y';
  char FNoChar = 'N';
  AnsiString FAMText = "AM";
  AnsiString FPMText = "PM";
  char FTimeSeparator = ':';
  AnsiString FCountry;
  int FCurrencyPosition = 0;
  int FNegCurrencyFormat = 0;
  bool FLeadingZero = false;
  bool FTwelveHour = false;
  AnsiString FShortDatePicture = "MM/dd/yy";
  AnsiString FLongDatePicture = "dddd, MMMM dd, yyyy";
  TCtlLiteralSlots FLiteralSlots;
};

// The one instance of the library, made on first use or at start-up.
TCtlIntlSup& CtlIntlSup();
void CtlIntlSupStartup();
void CtlIntlSupShutdown();
