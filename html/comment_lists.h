#pragma once
// Readers' comments under a chapter: lists whose items repeat one shape (a name, a date, a control to answer,
// vote or report). A chapter never repeats so; its comments do, however long they are, and they must not pass
// for the chapter's text.
#include <gumbo.h>

#include <unordered_set>

namespace lekto::html {

// The items of comment lists in a parsed page: elements that have a sibling of their own tag and class, where at
// least two of these siblings each carry, among their short texts (labels, names, dates, buttons: text pieces of
// at most a few words), a date or time ("2016-02-08", "08/02/2016", "05:28", "3 days ago", "2小时前", a time
// element) and a control ("Reply", "回复", "举报", "点赞", "upvote", "report").
std::unordered_set<const GumboNode*> CommentItems(const GumboNode* root);

}  // namespace lekto::html
