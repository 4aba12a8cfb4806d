#include "field_help.h"

#include <cstring>
#include <sstream>
#include <vector>

#include "dialog_fields.h"
#include "keyboard.h"
#include "resource.h"

namespace {
// The dialog manager's IDOK and IDCANCEL, which resource.h does not hold.
constexpr int kOk = 1, kCancel = 2;
}  // namespace

// In the dialog's order; the page lists them so.
const FieldHelp kFieldHelp[kFieldHelpCount] = {
    {"配色", "", 0, "赤・緑・青それぞれの色の作り方です。各行は左から赤、緑、青の値です。"},
    {"赤", "", 0, "この列は赤の成分の値です。"},
    {"緑", "", 0, "この列は緑の成分の値です。"},
    {"青", "", 0, "この列は青の成分の値です。"},
    {"基本量", "base_r base_g base_b", 0,
     "色の土台の値です。横と縦の波にこの値を足し、端モードで 0〜255 に収めます。整数ならどれでも使えます。"},
    {"横変量", "vx_r vx_g vx_b", 0,
     "横方向の波の大きさです。左から右へ波の周期 1 つ分進むと、色の値がこれだけ変わります。負なら逆向きです。"},
    {"縦変量", "vy_r vy_g vy_b", 0,
     "縦方向の波の大きさです。上から下へ波の周期 1 つ分進むと、色の値がこれだけ変わります。負なら逆向きです。"},
    {"端モード", "mode_r mode_g mode_b", 0,
     "0〜255 をはみ出した値の扱いです。ループは 256 ごとに繰り返し、リミットは 0 と 255 で止め、"
     "ターン(速)は端で折り返し、ターン(遅)は端の値を二度使って折り返します。空欄や入力した文字はループです。"},
    {"不連続幅", "dg_r dg_g dg_b", 0,
     "色をこの幅の段に丸めます(ポスタリゼーション)。負なら白の側から数えます。-1〜1 は段なしです。"},
    {"ディザ幅", "dth_r dth_g dth_b", 0,
     "色をこの幅の段に分け、段のあいだを点の模様で表します。負なら白の側から別の模様で数えます。-1〜1 はディザなしです。"},
    {"最大補正", "max_r max_g max_b", 0,
     "出来上がりの明るさの上限です。0〜255 の色を最小補正からこの値までに縮めます。最小補正〜255 の値です。"},
    {"最小補正", "min_r min_g min_b", 0, "出来上がりの明るさの下限です。0〜255 の値です。"},
    {"変化法", "pat_x pat_y", 0,
     "波の形です。上の箱が横方向、下の箱が縦方向: 比例(のこぎり波)、三角波、サイン波、その半分の形、サインの絶対値。"
     "空欄や入力した文字は比例です。"},
    {"画像サイズ", "bmpw bmph", 0,
     "描く画像の幅と高さ(ピクセル)です。並べて表示ではこの大きさで繰り返します。1〜2048 の値で、外れた値は 128 にします。"},
    {"基準サイズ", "", 0, "波の周期(模様の繰り返しの長さ)です: 周期 = 画像サイズ × 割合指定 ÷ 100 + 基本値。"},
    {"基本値", "basew baseh", 0, "波の周期に足すピクセル数です。整数ならどれでも使えます(周期は 1 以上になります)。"},
    {"割合指定", "baserw baserh", 0,
     "波の周期を画像サイズの何パーセントにするかです。100 なら画像の幅(高さ)でちょうど 1 周期です。"},
    {"基準位置", "basex basey", 0, "模様の原点の位置(ピクセル)です。増やすと模様が右(下)へずれます。"},
    {"色相変化", "hue", 0, "出来上がった色の色相を回します。1530 で一回り、255 で 60 度です。"},
    {"滑らかさ", "accuracy", 0,
     "1 ピクセルを縦横この数に分けて平均し、縁を滑らかにします。描く時間はこの数の 2 乗に比例します。"
     "1 以上の値で、0 以下は 1 にします。"},
    {"ＯＫ", "", kOk, "入力した値で確定して閉じます。直した値があるときは、まずそれを見せます。"},
    {"試運用", "", IDC_TRIAL, "入力した値で試しに描きます。確定はしません。直した値は欄に書き戻します。"},
    {"戻す", "", IDC_REVERT, "欄を、ダイアログを開いたときの値に戻します。"},
    {"デフォルト", "", IDC_DEFAULT, "欄を既定の値にします。"},
    {"中止", "", kCancel, "何も変えずに閉じます(Esc と同じ)。"},
    {"プレビュー", "", IDC_PREVIEW, "オンのあいだ、欄の値を入力のすぐ後にメイン画面で見せます。"},
};

namespace {

// The labels that stand for one box rather than a whole entry.
struct LabelField {
    const char* label;
    const char* key;
};
const LabelField kLabelFields[] = {{"幅", "bmpw"},    {"高さ", "bmph"}, {"ｘ", "basex"},
                                   {"ｙ", "basey"}, {"横", "pat_x"},  {"縦", "pat_y"}};

bool hasWord(const char* list, const char* word) {
    std::istringstream words(list);
    for (std::string w; words >> w;)
        if (w == word) return true;
    return false;
}

const FieldHelp* entryOfField(const char* key) {
    for (const FieldHelp& e : kFieldHelp)
        if (hasWord(e.fields, key)) return &e;
    return nullptr;
}

bool endsWith(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// "キー: 1 2 3 で +8、Q W E で -8。" for the fields of a space-separated list:
// the keys of equal amounts together, in the key table's order.
std::string keySentence(const char* fields) {
    struct Group {
        std::int32_t amount;
        std::string keys;
    };
    std::vector<Group> groups;
    std::istringstream words(fields);
    for (std::string w; words >> w;) {
        const ParamKey* k = findParamKey(w.c_str());
        if (!k) continue;
        for (const FieldKey& fk : keysOfField(*k)) {
            Group* g = nullptr;
            for (Group& existing : groups)
                if (existing.amount == fk.amount) g = &existing;
            if (!g) groups.push_back(Group{fk.amount, ""}), g = &groups.back();
            g->keys += (g->keys.empty() ? "" : " ") + keyName(fk.key);
        }
    }
    if (groups.empty()) return std::string();
    std::string text = "キー: ";
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i) text += "、";
        text += groups[i].keys + " で ";
        if (groups[i].amount == 0)
            text += "次へ";
        else
            text += (groups[i].amount > 0 ? "+" : "") + std::to_string(groups[i].amount);
    }
    return text + "。";
}

std::string entryText(const FieldHelp& e, const std::string& title, const char* fields) {
    std::string text = title + ": " + e.text;
    const std::string keys = keySentence(fields);
    if (!keys.empty()) text += "\r\n" + keys;
    return text;
}

}  // namespace

const char* fieldQualifier(const char* key) {
    const std::string k = key;
    if (endsWith(k, "_r")) return "赤";
    if (endsWith(k, "_g")) return "緑";
    if (endsWith(k, "_b")) return "青";
    if (k == "pat_x") return "横";
    if (k == "pat_y") return "縦";
    if (endsWith(k, "w")) return "幅";
    if (endsWith(k, "h")) return "高さ";
    if (k == "basex") return "ｘ";
    if (k == "basey") return "ｙ";
    return "";
}

std::string fieldTitle(const char* key) {
    const FieldHelp* e = entryOfField(key);
    std::string title = e ? e->name : key;
    const std::string qualifier = fieldQualifier(key);
    return qualifier.empty() ? title : title + "(" + qualifier + ")";
}

std::string controlTip(int id, const std::string& labelText) {
    for (const FieldHelp& e : kFieldHelp)
        if (e.id != 0 && e.id == id) return entryText(e, e.name, "");
    for (const ParamKey& k : kParamKeys) {
        if (fieldControlId(k.name) != id || id <= 0) continue;
        const FieldHelp* e = entryOfField(k.name);
        if (e) return entryText(*e, fieldTitle(k.name), k.name);
    }
    for (const LabelField& l : kLabelFields)
        if (labelText == l.label) return controlTip(fieldControlId(l.key), "");
    for (const FieldHelp& e : kFieldHelp)
        if (labelText == e.name) return entryText(e, e.name, e.fields);
    return std::string();
}

std::string fieldHelpPage() {
    std::string page;
    for (const FieldHelp& e : kFieldHelp) page += entryText(e, e.name, e.fields) + "\r\n\r\n";
    return page;
}
