#pragma once

// Reads a Tesseract model file (.traineddata) without its word list.
//
// The second reading's script model, Latin, carries a word list of 89 MB among
// 0.6 MB of everything else; Tesseract keeps the whole file in memory and
// builds the list from it, so loading it raised the helper's peak by about
// 250 MB. Without the list its recogniser read every word of the accented
// page right all the same, in 29 MB.

#include <vector>

namespace morvel::linux_ax {

// Fills `data` with the model file `filename` less its LSTM word list; a file
// of a layout it does not know comes whole. False when the file cannot be read.
// Tesseract's FileReader.
bool readModelWithoutWordList(const char* filename, std::vector<char>* data);

}  // namespace morvel::linux_ax
