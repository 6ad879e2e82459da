#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Digits only, at most 10 of them, from low to high.
bool wholeNumber(const std::string& text, long long low, long long high, long long& value);

// "1,2,5-9": addresses from 0 to 31, single or as ranges, in the order given,
// each once. False when any item is not one.
bool parseAddressList(const std::string& text, std::vector<std::uint8_t>& addresses);
