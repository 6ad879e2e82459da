#pragma once
#include <string>
#include <vector>

#include "config/DisplayConfig.h"
#include "protocol/Replies.h"

// What compareWithReply gives as the display's value of a setpoint its reply cannot carry.
const std::string& beyondReplyText();

struct TFieldDifference {
    std::string field;
    std::string sent; // the file's value
    std::string received; // the display's value, or why there is none
};

// Compares the fields the 'E' request carries with what a display's 'P'
// reply held (`received`, filled from `sent` by the reply's parser, and its
// report), each within the precision the request gives it.
std::vector<TFieldDifference> compareWithReply(
    const TDisplayConfig& sent, const TDisplayConfig& received, const TParamsReplyContents& contents);
