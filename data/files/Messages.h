#pragma once

// The fixed texts the core reports, in UTF-8.
namespace msg {
inline constexpr const char* kCannotOpen = "ファイル %s は開けません";
inline constexpr const char* kCannotCreate = "ファイル %s を作成できません";
inline constexpr const char* kCannotWrite = "%s に書き込めません";
inline constexpr const char* kJpegError = "JPEG エラー #%d";
inline constexpr const char* kUnknownImageFormat = "拡張子 .%s の画像形式は処理できません";
inline constexpr const char* kCardListSaveFailed =
    "カード種類フォルダ[cardlist.dat]の保存に失敗しました。";
inline constexpr const char* kNotSimpleTextNode = "要素は単純テキストノードを含んでいません";
inline constexpr const char* kCardTypeExists =
    "既に同じカード種類名称が存在しますので作成出来ません。";
inline constexpr const char* kCardTypeFolderFailed = "カード種類フォルダの作成に失敗しました。";
inline constexpr const char* kImageFolderFailed =
    "カード種類フォルダ[画像フォルダ]の作成に失敗しました。";
inline constexpr const char* kCardListCreateFailed =
    "カード種類フォルダ[cardlist.dat]の作成に失敗しました。";
inline constexpr const char* kBadCardTypeName =
    "カード種類名称に使用できない文字が含まれています。";
inline constexpr const char* kChangedOutside =
    "カードリストが他のプログラムで変更されたため、保存しませんでした。最新の内容を表示します。";
}  // namespace msg
