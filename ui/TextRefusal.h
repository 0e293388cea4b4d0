#pragma once

#include <QString>

// The refusals of typed texts that the card files cannot hold, naming the characters.

// The distinct characters of text that Shift_JIS (CP932) cannot store, each in 「」, in the
// order they first appear ("「é」「😀」"); empty when there are none.
QString CharactersWithoutCp932(const QString& text);

// "<caption>の「é」は Shift_JIS で保存できないため登録できません", or empty when the text can be
// stored.
QString TextRefusal(const QString& caption, const QString& text);

// Why a typed card type name cannot be used: the core's warning, then the characters that are
// not allowed; empty when the name can be used.
QString CardTypeNameRefusal(const QString& name);
