#include <QHash>

#include "source/completion.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

struct Note {
    QString text;
    bool obsolete = false;
};

// Our own words, one line each, for the completion list: what the element is for, as a person
// writing a page needs to know it.
const QHash<QString, Note> &notes()
{
    static const QHash<QString, Note> table{
        {u"a"_s, {u"リンク。href の行き先へ移る"_s}},
        {u"abbr"_s, {u"略語。正式な名前は title に書く"_s}},
        {u"address"_s, {u"連絡先。ページや記事の書き手への連絡手段"_s}},
        {u"area"_s, {u"イメージマップの中のクリックできる領域"_s}},
        {u"article"_s, {u"記事。それだけで完結する内容のまとまり"_s}},
        {u"aside"_s, {u"本筋から外れた補足。サイドバーなど"_s}},
        {u"audio"_s, {u"音声を再生する"_s}},
        {u"b"_s, {u"太字。特に意味は持たせず目立たせる"_s}},
        {u"base"_s, {u"ページ内の相対 URL の基準。<head> に置く"_s}},
        {u"bdi"_s, {u"書字方向を周りから切り離す"_s}},
        {u"bdo"_s, {u"書字方向を dir で上書きする"_s}},
        {u"blockquote"_s, {u"ほかから引いた段落単位の引用"_s}},
        {u"body"_s, {u"ページの本文。画面に出る内容はすべてこの中"_s}},
        {u"br"_s, {u"改行"_s}},
        {u"button"_s, {u"押しボタン"_s}},
        {u"canvas"_s, {u"スクリプトで絵を描く領域"_s}},
        {u"caption"_s, {u"表の見出し。<table> のすぐ内側に置く"_s}},
        {u"cite"_s, {u"作品の題名"_s}},
        {u"code"_s, {u"プログラムのコードの断片"_s}},
        {u"col"_s, {u"表の列。<colgroup> の中で列に書式を付ける"_s}},
        {u"colgroup"_s, {u"表の列のまとまり"_s}},
        {u"data"_s, {u"内容に機械が読む値 (value) を添える"_s}},
        {u"datalist"_s, {u"入力欄に出す候補の一覧"_s}},
        {u"dd"_s, {u"説明リストの説明"_s}},
        {u"del"_s, {u"削除された部分"_s}},
        {u"details"_s, {u"開閉できる詳細。見出しは <summary>"_s}},
        {u"dfn"_s, {u"その場で定義している用語"_s}},
        {u"dialog"_s, {u"ダイアログやモーダルの窓"_s}},
        {u"div"_s, {u"汎用のブロック。意味を持たないまとまり"_s}},
        {u"dl"_s, {u"説明リスト。用語と説明の組"_s}},
        {u"dt"_s, {u"説明リストの用語"_s}},
        {u"em"_s, {u"強調。読み上げで声を強める部分"_s}},
        {u"embed"_s, {u"外部の内容を埋め込む"_s}},
        {u"fencedframe"_s, {u"外と情報をやり取りしない埋め込み枠"_s}},
        {u"fieldset"_s, {u"フォームの部品のまとまり。見出しは <legend>"_s}},
        {u"figcaption"_s, {u"図の説明文"_s}},
        {u"figure"_s, {u"図や写真とその説明のまとまり"_s}},
        {u"footer"_s, {u"フッター。節やページの末尾の情報"_s}},
        {u"form"_s, {u"送信できる入力フォーム"_s}},
        {u"h1"_s, {u"見出し (第 1 階層)。ページの主題"_s}},
        {u"h2"_s, {u"見出し (第 2 階層)"_s}},
        {u"h3"_s, {u"見出し (第 3 階層)"_s}},
        {u"h4"_s, {u"見出し (第 4 階層)"_s}},
        {u"h5"_s, {u"見出し (第 5 階層)"_s}},
        {u"h6"_s, {u"見出し (第 6 階層)"_s}},
        {u"head"_s, {u"ページの情報。題名や文字コード、スタイルシート"_s}},
        {u"header"_s, {u"ヘッダー。節やページの導入部分"_s}},
        {u"hgroup"_s, {u"見出しと副題のまとまり"_s}},
        {u"hr"_s, {u"話題の区切り線"_s}},
        {u"html"_s, {u"ページ全体の根の要素"_s}},
        {u"i"_s, {u"斜体。声や調子の違う語句"_s}},
        {u"iframe"_s, {u"別のページを埋め込む枠"_s}},
        {u"img"_s, {u"画像。alt に代わりの文を書く"_s}},
        {u"input"_s, {u"入力欄。種類は type で決まる"_s}},
        {u"ins"_s, {u"追加された部分"_s}},
        {u"kbd"_s, {u"キーボードから打つ内容"_s}},
        {u"label"_s, {u"フォームの部品の名札"_s}},
        {u"legend"_s, {u"<fieldset> の見出し"_s}},
        {u"li"_s, {u"リストの項目"_s}},
        {u"link"_s, {u"外部の資源とのつながり。スタイルシートの読み込みなど"_s}},
        {u"main"_s, {u"ページの主な内容。ページに一つ"_s}},
        {u"map"_s, {u"イメージマップ。中に <area> を置く"_s}},
        {u"mark"_s, {u"蛍光ペンのような目印"_s}},
        {u"menu"_s, {u"操作の一覧。<ul> と同じく <li> を並べる"_s}},
        {u"meta"_s, {u"ページについての情報。文字コードや説明"_s}},
        {u"meter"_s, {u"範囲の中の量を示すメーター"_s}},
        {u"nav"_s, {u"ナビゲーション。主なリンクの集まり"_s}},
        {u"noscript"_s, {u"スクリプトが動かないときだけ出す内容"_s}},
        {u"object"_s, {u"外部の資源を埋め込む"_s}},
        {u"ol"_s, {u"番号付きのリスト"_s}},
        {u"optgroup"_s, {u"選択肢のまとまり"_s}},
        {u"option"_s, {u"選択肢の一つ"_s}},
        {u"output"_s, {u"計算や操作の結果"_s}},
        {u"p"_s, {u"段落"_s}},
        {u"param"_s, {u"<object> に渡す値 (廃止。今は使わない)"_s, true}},
        {u"picture"_s, {u"画面に合わせて画像を選ぶ。中に <source> と <img>"_s}},
        {u"pre"_s, {u"整形済みの文。空白や改行をそのまま出す"_s}},
        {u"progress"_s, {u"進み具合のバー"_s}},
        {u"q"_s, {u"文中の短い引用"_s}},
        {u"rb"_s, {u"ルビの親文字 (廃止。<ruby> に直接書く)"_s, true}},
        {u"rp"_s, {u"ルビに対応しない表示で出す括弧"_s}},
        {u"rt"_s, {u"ルビ (ふりがな) の文字"_s}},
        {u"ruby"_s, {u"ルビ (ふりがな) を振る"_s}},
        {u"s"_s, {u"もう正しくない内容。取り消し線"_s}},
        {u"samp"_s, {u"プログラムの出力の例"_s}},
        {u"script"_s, {u"スクリプト。JavaScript を書くか読み込む"_s}},
        {u"search"_s, {u"検索や絞り込みの部品のまとまり"_s}},
        {u"section"_s, {u"節。見出しを持つ内容のまとまり"_s}},
        {u"select"_s, {u"選択肢から選ぶ一覧"_s}},
        {u"selectedcontent"_s, {u"選ばれた選択肢の中身を写して出す"_s}},
        {u"slot"_s, {u"シャドウ DOM の差し込み口"_s}},
        {u"small"_s, {u"注記や細則などの小さな文字"_s}},
        {u"source"_s, {u"動画、音声、画像の候補の一つ"_s}},
        {u"span"_s, {u"汎用の行内のまとまり。意味を持たない"_s}},
        {u"strong"_s, {u"重要な部分"_s}},
        {u"style"_s, {u"スタイルシート。CSS を直接書く"_s}},
        {u"sub"_s, {u"下付き文字"_s}},
        {u"summary"_s, {u"<details> の見出し。押すと開閉する"_s}},
        {u"sup"_s, {u"上付き文字"_s}},
        {u"table"_s, {u"表"_s}},
        {u"tbody"_s, {u"表の本体の行のまとまり"_s}},
        {u"td"_s, {u"表のセル"_s}},
        {u"template"_s, {u"スクリプトで複製するための型。そのままでは出ない"_s}},
        {u"textarea"_s, {u"複数行の入力欄"_s}},
        {u"tfoot"_s, {u"表の末尾の行のまとまり"_s}},
        {u"th"_s, {u"表の見出しのセル"_s}},
        {u"thead"_s, {u"表の見出しの行のまとまり"_s}},
        {u"time"_s, {u"日付や時刻。datetime に機械が読む形で"_s}},
        {u"title"_s, {u"ページの題名。タブや履歴に出る"_s}},
        {u"tr"_s, {u"表の行"_s}},
        {u"track"_s, {u"動画や音声の字幕"_s}},
        {u"u"_s, {u"下線。誤字の指摘など、注意を引く部分"_s}},
        {u"ul"_s, {u"箇条書き (番号なしのリスト)"_s}},
        {u"var"_s, {u"数式やプログラムの変数"_s}},
        {u"video"_s, {u"動画を再生する"_s}},
        {u"wbr"_s, {u"ここで改行してもよいという印"_s}},
    };
    return table;
}

// The same for the CSS properties an author uses most.
const QHash<QString, QString> &propertyNotes()
{
    static const QHash<QString, QString> table{
        {u"align-items"_s, u"フレックスやグリッドの項目の交差軸方向の揃え方"_s},
        {u"animation"_s, u"アニメーション。@keyframes の名前と時間などをまとめて"_s},
        {u"background"_s, u"背景。色・画像・位置などをまとめて"_s},
        {u"background-color"_s, u"背景色"_s},
        {u"background-image"_s, u"背景画像。url() やグラデーション"_s},
        {u"background-position"_s, u"背景画像の位置"_s},
        {u"background-repeat"_s, u"背景画像を繰り返すかどうか"_s},
        {u"background-size"_s, u"背景画像の大きさ。cover や contain など"_s},
        {u"border"_s, u"枠線。太さ・種類・色をまとめて"_s},
        {u"border-bottom"_s, u"下の枠線"_s},
        {u"border-collapse"_s, u"表のセルの枠線を重ねるかどうか"_s},
        {u"border-color"_s, u"枠線の色"_s},
        {u"border-radius"_s, u"角の丸み"_s},
        {u"border-top"_s, u"上の枠線"_s},
        {u"bottom"_s, u"配置した要素の下端の位置"_s},
        {u"box-shadow"_s, u"要素の影"_s},
        {u"box-sizing"_s, u"幅と高さに枠線と内側の余白を含めるかどうか"_s},
        {u"clear"_s, u"回り込み (float) を解除する"_s},
        {u"color"_s, u"文字の色"_s},
        {u"content"_s, u"::before や ::after に入れる内容"_s},
        {u"cursor"_s, u"マウスポインターの形"_s},
        {u"display"_s, u"表示のしかた。block、inline、flex、grid、none など"_s},
        {u"flex"_s, u"フレックス項目の伸び縮みをまとめて"_s},
        {u"flex-direction"_s, u"フレックス項目を並べる向き"_s},
        {u"flex-wrap"_s, u"フレックス項目を折り返すかどうか"_s},
        {u"float"_s, u"左右への回り込み"_s},
        {u"font"_s, u"文字の書体・大きさ・行の高さなどをまとめて"_s},
        {u"font-family"_s, u"書体。優先するものから順にカンマで区切る"_s},
        {u"font-size"_s, u"文字の大きさ"_s},
        {u"font-style"_s, u"斜体にするかどうか"_s},
        {u"font-weight"_s, u"文字の太さ"_s},
        {u"gap"_s, u"グリッドやフレックスの項目の間隔"_s},
        {u"grid-template-columns"_s, u"グリッドの列の幅と数"_s},
        {u"grid-template-rows"_s, u"グリッドの行の高さと数"_s},
        {u"height"_s, u"高さ"_s},
        {u"justify-content"_s, u"フレックスやグリッドの項目の主軸方向の揃え方"_s},
        {u"left"_s, u"配置した要素の左端の位置"_s},
        {u"letter-spacing"_s, u"文字の間隔"_s},
        {u"line-height"_s, u"行の高さ"_s},
        {u"list-style"_s, u"リストの行頭記号をまとめて"_s},
        {u"margin"_s, u"外側の余白。上・右・下・左の順"_s},
        {u"margin-bottom"_s, u"下の外側の余白"_s},
        {u"margin-left"_s, u"左の外側の余白"_s},
        {u"margin-right"_s, u"右の外側の余白"_s},
        {u"margin-top"_s, u"上の外側の余白"_s},
        {u"max-width"_s, u"幅の上限"_s},
        {u"min-height"_s, u"高さの下限"_s},
        {u"min-width"_s, u"幅の下限"_s},
        {u"object-fit"_s, u"画像や動画を枠に収めるしかた"_s},
        {u"opacity"_s, u"不透明度。0 で透明、1 で不透明"_s},
        {u"outline"_s, u"外側の輪郭線。フォーカスの印など"_s},
        {u"overflow"_s, u"はみ出した内容の扱い。hidden、auto、scroll など"_s},
        {u"padding"_s, u"内側の余白。上・右・下・左の順"_s},
        {u"padding-bottom"_s, u"下の内側の余白"_s},
        {u"padding-left"_s, u"左の内側の余白"_s},
        {u"padding-right"_s, u"右の内側の余白"_s},
        {u"padding-top"_s, u"上の内側の余白"_s},
        {u"position"_s, u"配置のしかた。relative、absolute、fixed、sticky など"_s},
        {u"right"_s, u"配置した要素の右端の位置"_s},
        {u"text-align"_s, u"行の中での文字の揃え方"_s},
        {u"text-decoration"_s, u"下線や取り消し線"_s},
        {u"text-indent"_s, u"段落の最初の行の字下げ"_s},
        {u"text-overflow"_s, u"はみ出した文字の表し方。ellipsis で「…」"_s},
        {u"text-transform"_s, u"大文字・小文字の変換"_s},
        {u"top"_s, u"配置した要素の上端の位置"_s},
        {u"transform"_s, u"回転・拡大・移動などの変形"_s},
        {u"transition"_s, u"値が変わるときのアニメーション"_s},
        {u"vertical-align"_s, u"行の中やセルの中での縦の揃え方"_s},
        {u"visibility"_s, u"見えるかどうか。hidden でも場所は取る"_s},
        {u"white-space"_s, u"空白と改行の扱い"_s},
        {u"width"_s, u"幅"_s},
        {u"word-break"_s, u"単語の途中で改行するかどうか"_s},
        {u"writing-mode"_s, u"縦書きか横書きか"_s},
        {u"z-index"_s, u"重なりの順。大きいほど手前"_s},
    };
    return table;
}

}  // namespace

QString propertyNote(QStringView name)
{
    return propertyNotes().value(name.toString().toLower());
}

QString elementNote(QStringView name)
{
    return notes().value(name.toString().toLower()).text;
}

bool isObsoleteElement(QStringView name)
{
    return notes().value(name.toString().toLower()).obsolete;
}

}  // namespace source
