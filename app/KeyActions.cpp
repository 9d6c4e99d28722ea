#include "app/KeyActions.h"

#include <algorithm>

namespace tamarind {
namespace {

QKeyCombination Plain(Qt::Key key) { return QKeyCombination(key); }
QKeyCombination With(Qt::KeyboardModifier modifier, Qt::Key key) {
    return QKeyCombination(modifier, key);
}

QString ScopeText(KeyScope scope) {
    switch (scope) {
        case KeyScope::MainWindow: return QStringLiteral("メイン画面");
        case KeyScope::FolderTree: return QStringLiteral("フォルダーのツリー");
        case KeyScope::FileList: return QStringLiteral("検索ファイルリスト");
        case KeyScope::Grid: return QStringLiteral("画像表示部 (スロット)");
        case KeyScope::FullSizeView: return QStringLiteral("全画面表示ウィンドウ");
    }
    return {};
}

std::vector<KeyBinding> MakeTable() {
    using A = KeyAction;
    using S = KeyScope;
    const auto enter = std::vector{Plain(Qt::Key_Return), Plain(Qt::Key_Enter)};
    return {
        {A::NextControl, S::MainWindow, {Plain(Qt::Key_Tab)}, QStringLiteral("Tab"),
         QStringLiteral("次の部品へ移ります: ドライブ選択 → フィルター指定 → フォルダーのツリー → "
                        "検索ファイルリスト → 画像表示部 → ドライブ選択 …")},
        {A::PreviousControl, S::MainWindow,
         {With(Qt::ShiftModifier, Qt::Key_Backtab), With(Qt::ShiftModifier, Qt::Key_Tab)},
         QStringLiteral("Shift+Tab"), QStringLiteral("前の部品へ戻ります。")},
        {A::ChooseFolder, S::FolderTree, {Plain(Qt::Key_Up), Plain(Qt::Key_Down)},
         QStringLiteral("↑ ↓"), QStringLiteral("フォルダーを選びます。")},
        {A::OpenFolder, S::FolderTree, enter, QStringLiteral("Enter"),
         QStringLiteral("選んだフォルダーを開きます (ダブルクリックと同じ)。")},
        {A::ChooseFile, S::FileList,
         {Plain(Qt::Key_Up), Plain(Qt::Key_Down), Plain(Qt::Key_Home), Plain(Qt::Key_End)},
         QStringLiteral("↑ ↓ Home End"), QStringLiteral("ファイルを選びます。")},
        {A::LoadFile, S::FileList, enter, QStringLiteral("Enter"),
         QStringLiteral("選んだファイルを次表示位置のスロットに読み込みます (クリックと同じ。"
                        "連続表示では続けて読み込みます)。")},
        {A::SlotLeft, S::Grid, {Plain(Qt::Key_Left)}, QStringLiteral("←"),
         QStringLiteral("フォーカス枠 (スロットを囲む枠) を前のスロットへ動かします。")},
        {A::SlotRight, S::Grid, {Plain(Qt::Key_Right)}, QStringLiteral("→"),
         QStringLiteral("フォーカス枠を次のスロットへ動かします。")},
        {A::SlotUp, S::Grid, {Plain(Qt::Key_Up)}, QStringLiteral("↑"),
         QStringLiteral("フォーカス枠を 1 段上のスロットへ動かします。")},
        {A::SlotDown, S::Grid, {Plain(Qt::Key_Down)}, QStringLiteral("↓"),
         QStringLiteral("フォーカス枠を 1 段下のスロットへ動かします。")},
        {A::FirstSlot, S::Grid, {Plain(Qt::Key_Home)}, QStringLiteral("Home"),
         QStringLiteral("フォーカス枠を最初のスロットへ動かします。")},
        {A::LastSlot, S::Grid, {Plain(Qt::Key_End)}, QStringLiteral("End"),
         QStringLiteral("フォーカス枠を最後のスロットへ動かします。")},
        {A::OpenDetail, S::Grid, enter, QStringLiteral("Enter"),
         QStringLiteral("フォーカス枠のスロットの詳細ウィンドウを開きます "
                        "(Shift を押しながら左クリックと同じ)。")},
        {A::ShowFullSize, S::Grid, {Plain(Qt::Key_Space)}, QStringLiteral("スペース"),
         QStringLiteral("画像を全画面表示ウィンドウで表示します (右ボタンと同じ)。")},
        {A::CopySlot, S::Grid, {With(Qt::ControlModifier, Qt::Key_C)}, QStringLiteral("Ctrl+C"),
         QStringLiteral("画像をクリップボードにコピーします (Ctrl を押しながら左クリックと同じ)。")},
        {A::PrintSlot, S::Grid, {With(Qt::ControlModifier, Qt::Key_P)}, QStringLiteral("Ctrl+P"),
         QStringLiteral("画像を印刷するための印刷設定ウィンドウを開きます (ダブルクリックと同じ)。")},
        {A::ClearSlot, S::Grid, {Plain(Qt::Key_Delete)}, QStringLiteral("Delete"),
         QStringLiteral("スロットを空にします: 画像とサイズ表示が消え、枠の見出しが「Ａ」～「Ｐ」に"
                        "戻ります。ファイルは削除しません。")},
        {A::CloseView, S::FullSizeView, {Plain(Qt::Key_Escape)}, QStringLiteral("Esc"),
         QStringLiteral("ウィンドウを閉じます (クリックと同じ)。")},
    };
}

}  // namespace

const std::vector<KeyBinding>& KeyTable() {
    static const std::vector<KeyBinding> table = MakeTable();
    return table;
}

std::optional<KeyAction> FindKeyAction(KeyScope scope, QKeyCombination key) {
    const QKeyCombination plain(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
    for (const KeyBinding& binding : KeyTable()) {
        const bool here = binding.scope == scope ||
                          (binding.scope == KeyScope::MainWindow && scope != KeyScope::FullSizeView);
        if (here && std::find(binding.keys.begin(), binding.keys.end(), plain) != binding.keys.end())
            return binding.action;
    }
    return std::nullopt;
}

int MoveSlotFocus(int slot, KeyAction action, int columns, int slotCount) {
    if (slotCount < 1) return slot;
    if (columns < 1) columns = slotCount;
    int to = slot;
    switch (action) {
        case KeyAction::SlotLeft: to = slot - 1; break;
        case KeyAction::SlotRight: to = slot + 1; break;
        case KeyAction::SlotUp: to = slot - columns; break;
        case KeyAction::SlotDown: to = slot + columns; break;
        case KeyAction::FirstSlot: return 1;
        case KeyAction::LastSlot: return slotCount;
        default: return slot;
    }
    // A slot outside the layout (after a smaller layout) comes back inside.
    if (slot < 1 || slot > slotCount) return std::clamp(slot, 1, slotCount);
    return to >= 1 && to <= slotCount ? to : slot;
}

QString KeyPageHtml() {
    QString html = kKeyPageBegin + u'\n';
    html += QStringLiteral(
        "<h3 id=\"keys\"><a name=\"keys\"></a>キー操作の一覧</h3>\n"
        "<p>マウスを使わずに、キーボードだけでも操作できます。画像表示部では、フォーカス枠で囲まれた"
        "スロットが操作の対象です (スロットをクリックしても、そのスロットがフォーカス枠で囲まれます)。</p>\n"
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">\n"
        "<tr><th>場所</th><th>キー</th><th>働き</th></tr>\n");
    for (const KeyBinding& binding : KeyTable()) {
        html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
                    .arg(ScopeText(binding.scope).toHtmlEscaped(),
                         binding.keyText.toHtmlEscaped(), binding.description.toHtmlEscaped());
    }
    html += QStringLiteral("</table>\n");
    html += kKeyPageEnd;
    return html;
}

QString WithKeyPage(const QString& helpText, const QString& page) {
    const qsizetype begin = helpText.indexOf(kKeyPageBegin);
    if (begin < 0) return helpText;
    const qsizetype end = helpText.indexOf(kKeyPageEnd, begin);
    if (end < 0) return helpText;
    return helpText.left(begin) + page + helpText.mid(end + kKeyPageEnd.size());
}

}  // namespace tamarind
