#include "office/XLSHtml.h"

#include <memory>

// CSS named colours; both spellings of the grey family are kept.
const TXLSNamedColour XLSNamedColours[XLSNamedColourCount] = {
    {"aliceblue", 0xFFF8F0}, {"antiquewhite", 0xD7EBFA}, {"aqua", 0xFFFF00}, {"aquamarine", 0xD4FF7F},
    {"azure", 0xFFFFF0}, {"beige", 0xDCF5F5}, {"bisque", 0xC4E4FF}, {"black", 0x000000},
    {"blanchedalmond", 0xCDEBFF}, {"blue", 0xFF0000}, {"blueviolet", 0xE22B8A}, {"brown", 0x2A2AA5},
    {"burlywood", 0x87B8DE}, {"cadetblue", 0xA09E5F}, {"chartreuse", 0x00FF7F}, {"chocolate", 0x1E69D2},
    {"coral", 0x507FFF}, {"cornflowerblue", 0xED9564}, {"cornsilk", 0xDCF8FF}, {"crimson", 0x3C14DC},
    {"cyan", 0xFFFF00}, {"darkblue", 0x8B0000}, {"darkcyan", 0x8B8B00}, {"darkgoldenrod", 0x0B86B8},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9}, {"darkkhaki", 0x6BB7BD},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x2F6B55}, {"darkorange", 0x008CFF},
    {"darkorchid", 0xCC3299}, {"darkred", 0x00008B}, {"darksalmon", 0x7A96E9}, {"darkseagreen", 0x8FBC8F},
    {"darkslateblue", 0x8B3D48}, {"darkslategray", 0x4F4F2F}, {"darkslategrey", 0x4F4F2F},
    {"darkturquoise", 0xD1CE00}, {"darkviolet", 0xD30094}, {"deeppink", 0x9314FF}, {"deepskyblue", 0xFFBF00},
    {"dimgray", 0x696969}, {"dimgrey", 0x696969}, {"dodgerblue", 0xFF901E}, {"firebrick", 0x2222B2},
    {"floralwhite", 0xF0FAFF}, {"forestgreen", 0x228B22}, {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC},
    {"ghostwhite", 0xFFF8F8}, {"gold", 0x00D7FF}, {"goldenrod", 0x20A5DA}, {"gray", 0x808080},
    {"green", 0x008000}, {"greenyellow", 0x2FFFAD}, {"grey", 0x808080}, {"honeydew", 0xF0FFF0},
    {"hotpink", 0xB469FF}, {"indianred", 0x5C5CCD}, {"indigo", 0x82004B}, {"ivory", 0xF0FFFF},
    {"khaki", 0x8CE6F0}, {"lavender", 0xFAE6E6}, {"lavenderblush", 0xF5F0FF}, {"lawngreen", 0x00FC7C},
    {"lemonchiffon", 0xCDFAFF}, {"lightblue", 0xE6D8AD}, {"lightcoral", 0x8080F0}, {"lightcyan", 0xFFFFE0},
    {"lightgoldenrodyellow", 0xD2FAFA}, {"lightgray", 0xD3D3D3}, {"lightgreen", 0x90EE90},
    {"lightgrey", 0xD3D3D3}, {"lightpink", 0xC1B6FF}, {"lightsalmon", 0x7AA0FF}, {"lightseagreen", 0xAAB220},
    {"lightskyblue", 0xFACE87}, {"lightslategray", 0x998877}, {"lightslategrey", 0x998877},
    {"lightsteelblue", 0xDEC4B0}, {"lightyellow", 0xE0FFFF}, {"lime", 0x00FF00}, {"limegreen", 0x32CD32},
    {"linen", 0xE6F0FA}, {"magenta", 0xFF00FF}, {"maroon", 0x000080}, {"mediumaquamarine", 0xAACD66},
    {"mediumblue", 0xCD0000}, {"mediumorchid", 0xD355BA}, {"mediumpurple", 0xDB7093},
    {"mediumseagreen", 0x71B33C}, {"mediumslateblue", 0xEE687B}, {"mediumspringgreen", 0x9AFA00},
    {"mediumturquoise", 0xCCD148}, {"mediumvioletred", 0x8515C7}, {"midnightblue", 0x701919},
    {"mintcream", 0xFAFFF5}, {"mistyrose", 0xE1E4FF}, {"moccasin", 0xB5E4FF}, {"navajowhite", 0xADDEFF},
    {"navy", 0x800000}, {"oldlace", 0xE6F5FD}, {"olive", 0x008080}, {"olivedrab", 0x238E6B},
    {"orange", 0x00A5FF}, {"orangered", 0x0045FF}, {"orchid", 0xD670DA}, {"palegoldenrod", 0xAAE8EE},
    {"palegreen", 0x98FB98}, {"paleturquoise", 0xEEEEAF}, {"palevioletred", 0x9370DB},
    {"papayawhip", 0xD5EFFF}, {"peachpuff", 0xB9DAFF}, {"peru", 0x3F85CD}, {"pink", 0xCBC0FF},
    {"plum", 0xDDA0DD}, {"powderblue", 0xE6E0B0}, {"purple", 0x800080}, {"red", 0x0000FF},
    {"rosybrown", 0x8F8FBC}, {"royalblue", 0xE16941}, {"saddlebrown", 0x13458B}, {"salmon", 0x7280FA},
    {"sandybrown", 0x60A4F4}, {"seagreen", 0x578B2E}, {"seashell", 0xEEF5FF}, {"sienna", 0x2D52A0},
    {"silver", 0xC0C0C0}, {"skyblue", 0xEBCE87}, {"slateblue", 0xCD5A6A}, {"slategray", 0x908070},
    {"slategrey", 0x908070}, {"snow", 0xFAFAFF}, {"springgreen", 0x7FFF00}, {"steelblue", 0xB48246},
    {"tan", 0x8CB4D2}, {"teal", 0x808000}, {"thistle", 0xD8BFD8}, {"tomato", 0x4763FF},
    {"turquoise", 0xD0E040}, {"violet", 0xEE82EE}, {"wheat", 0xB3DEF5}, {"white", 0xFFFFFF},
    {"whitesmoke", 0xF5F5F5}, {"yellow", 0x00FFFF}, {"yellowgreen", 0x32CD9A},
};

// HTML 4.01 entities (Latin-1, symbols, special characters) and the XML apostrophe.
const TXLSCharEntity XLSCharEntities[XLSCharEntityCount] = {
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164}, {"yen", 165},
    {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169}, {"ordf", 170}, {"laquo", 171}, {"not", 172},
    {"shy", 173}, {"reg", 174}, {"macr", 175}, {"deg", 176}, {"plusmn", 177}, {"sup2", 178}, {"sup3", 179},
    {"acute", 180}, {"micro", 181}, {"para", 182}, {"middot", 183}, {"cedil", 184}, {"sup1", 185},
    {"ordm", 186}, {"raquo", 187}, {"frac14", 188}, {"frac12", 189}, {"frac34", 190}, {"iquest", 191},
    {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194}, {"Atilde", 195}, {"Auml", 196}, {"Aring", 197},
    {"AElig", 198}, {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202}, {"Euml", 203},
    {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207}, {"ETH", 208}, {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213}, {"Ouml", 214}, {"times", 215},
    {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219}, {"Uuml", 220}, {"Yacute", 221},
    {"THORN", 222}, {"szlig", 223}, {"agrave", 224}, {"aacute", 225}, {"acirc", 226}, {"atilde", 227},
    {"auml", 228}, {"aring", 229}, {"aelig", 230}, {"ccedil", 231}, {"egrave", 232}, {"eacute", 233},
    {"ecirc", 234}, {"euml", 235}, {"igrave", 236}, {"iacute", 237}, {"icirc", 238}, {"iuml", 239},
    {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244}, {"otilde", 245},
    {"ouml", 246}, {"divide", 247}, {"oslash", 248}, {"ugrave", 249}, {"uacute", 250}, {"ucirc", 251},
    {"uuml", 252}, {"yacute", 253}, {"thorn", 254}, {"yuml", 255}, {"fnof", 402}, {"Alpha", 913},
    {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917}, {"Zeta", 918}, {"Eta", 919},
    {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Nu", 925}, {"Xi", 926},
    {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931}, {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934},
    {"Chi", 935}, {"Psi", 936}, {"Omega", 937}, {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948},
    {"epsilon", 949}, {"zeta", 950}, {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954},
    {"lambda", 955}, {"mu", 956}, {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961},
    {"sigmaf", 962}, {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982}, {"bull", 8226}, {"hellip", 8230},
    {"prime", 8242}, {"Prime", 8243}, {"oline", 8254}, {"frasl", 8260}, {"weierp", 8472}, {"image", 8465},
    {"real", 8476}, {"trade", 8482}, {"alefsym", 8501}, {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594},
    {"darr", 8595}, {"harr", 8596}, {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658},
    {"dArr", 8659}, {"hArr", 8660}, {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709},
    {"nabla", 8711}, {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721},
    {"minus", 8722}, {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734}, {"ang", 8736},
    {"and", 8743}, {"or", 8744}, {"cap", 8745}, {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764},
    {"cong", 8773}, {"asymp", 8776}, {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834},
    {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853}, {"otimes", 8855},
    {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971},
    {"lang", 9001}, {"rang", 9002}, {"loz", 9674}, {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829},
    {"diams", 9830}, {"quot", 34}, {"amp", 38}, {"apos", 39}, {"lt", 60}, {"gt", 62}, {"OElig", 338},
    {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"circ", 710}, {"tilde", 732},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206},
    {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216}, {"rsquo", 8217}, {"sbquo", 8218},
    {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"euro", 8364},
};

const TXLSCharEscape XLSCharEscapes[XLSCharEscapeCount] = {
    {32, "&nbsp;"}, {34, "&quot;"}, {38, "&amp;"}, {60, "&lt;"}, {62, "&gt;"}, {161, "&iexcl;"},
    {162, "&cent;"}, {163, "&pound;"}, {164, "&curren;"}, {165, "&yen;"}, {166, "&brvbar;"}, {167, "&sect;"},
    {168, "&uml;"}, {169, "&copy;"}, {170, "&ordf;"}, {171, "&laquo;"}, {172, "&not;"}, {173, "&shy;"},
    {174, "&reg;"}, {175, "&macr;"}, {176, "&deg;"}, {177, "&plusmn;"}, {178, "&sup2;"}, {179, "&sup3;"},
    {180, "&acute;"}, {181, "&micro;"}, {182, "&para;"}, {183, "&middot;"}, {184, "&cedil;"}, {185, "&sup1;"},
    {186, "&ordm;"}, {187, "&raquo;"}, {188, "&frac14;"}, {189, "&frac12;"}, {190, "&frac34;"},
    {191, "&iquest;"}, {192, "&Agrave;"}, {193, "&Aacute;"}, {194, "&Acirc;"}, {195, "&Atilde;"},
    {196, "&Auml;"}, {197, "&Aring;"}, {198, "&AElig;"}, {199, "&Ccedil;"}, {200, "&Egrave;"},
    {201, "&Eacute;"}, {202, "&Ecirc;"}, {203, "&Euml;"}, {204, "&Igrave;"}, {205, "&Iacute;"},
    {206, "&Icirc;"}, {207, "&Iuml;"}, {208, "&ETH;"}, {209, "&Ntilde;"}, {210, "&Ograve;"},
    {211, "&Oacute;"}, {212, "&Ocirc;"}, {213, "&Otilde;"}, {214, "&Ouml;"}, {215, "&times;"},
    {216, "&Oslash;"}, {217, "&Ugrave;"}, {218, "&Uacute;"}, {219, "&Ucirc;"}, {220, "&Uuml;"},
    {221, "&Yacute;"}, {222, "&THORN;"}, {223, "&szlig;"}, {224, "&agrave;"}, {225, "&aacute;"},
    {226, "&acirc;"}, {227, "&atilde;"}, {228, "&auml;"}, {229, "&aring;"}, {230, "&aelig;"},
    {231, "&ccedil;"}, {232, "&egrave;"}, {233, "&eacute;"}, {234, "&ecirc;"}, {235, "&euml;"},
    {236, "&igrave;"}, {237, "&iacute;"}, {238, "&icirc;"}, {239, "&iuml;"}, {240, "&eth;"},
    {241, "&ntilde;"}, {242, "&ograve;"}, {243, "&oacute;"}, {244, "&ocirc;"}, {245, "&otilde;"},
    {246, "&ouml;"}, {247, "&divide;"}, {248, "&oslash;"}, {249, "&ugrave;"}, {250, "&uacute;"},
    {251, "&ucirc;"}, {252, "&uuml;"}, {253, "&yacute;"}, {254, "&thorn;"}, {255, "&yuml;"},
};

namespace {
int GInitCount = 0;
std::unique_ptr<TStringList> GColours;
std::unique_ptr<TStringList> GEntities;

void* asObject(uint32_t value) { return reinterpret_cast<void*>(static_cast<uintptr_t>(value)); }
}  // namespace

void InitXLSHtml() {
  if (GInitCount++ > 0) return;
  auto colours = std::make_unique<TStringList>();
  for (const TXLSNamedColour& c : XLSNamedColours) colours->AddObject(c.Name, asObject(c.Color));
  // Entity names differ by case alone ("Dagger", "dagger"): a list blind to case would lose half.
  auto entities = std::make_unique<TStringList>();
  entities->SetCaseSensitive(true);
  entities->SetDuplicates(TDuplicates::dupError);
  entities->SetSorted(true);
  for (const TXLSCharEntity& e : XLSCharEntities) entities->AddObject(e.Name, asObject(e.CodePoint));
  GColours = std::move(colours);
  GEntities = std::move(entities);
}

void DoneXLSHtml() {
  if (GInitCount == 0 || --GInitCount > 0) return;
  GColours.reset();
  GEntities.reset();
}

const TStringList* XLSColourList() { return GColours.get(); }
const TStringList* XLSEntityList() { return GEntities.get(); }
