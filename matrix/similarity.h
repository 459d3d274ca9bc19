#pragma once
// Similarity of matrix files, computed bit for bit the same on every host.

#include <span>

#include "matrix/extended.h"
#include "matrix/matrix.h"

// Product over all cells of 1 - d^2/65536, d being the difference of the two cells, in (0, 1].
// Cells are taken place by place (offsets 0, 8, ..., 56, 1, 9, ...); each step rounds the product
// to a 64-bit significand and then to double, and the last bit depends on both.
double MatrixSimilarity(const Matrix& a, const Matrix& b);

// MatrixSimilarity(a[i], b) into out[i] for every i (out holds at least a.size() values):
// the same bits, computed for many pairs at once.
void MatrixSimilarities(std::span<const Matrix> a, const Matrix& b, std::span<double> out);

// MatrixSimilarity by the integer arithmetic of extended.h alone, one rounding after the other:
// the reference that the faster paths are tested against.
double ExactMatrixSimilarity(const Matrix& a, const Matrix& b);

// One step of MatrixSimilarity: similarity times the factor of a cell difference of |d| <=
// 255, rounded to a 64-bit significand and then to double. For similarity in [2^-500, 1].
double MultiplyByCellFactor(double similarity, int difference);

// MatrixSimilarity of the intra matrices.
double IntraSimilarity(const TCustomMatrix& a, const TCustomMatrix& b);

// MatrixSimilarity of the inter matrices.
double InterSimilarity(const TCustomMatrix& a, const TCustomMatrix& b);

// The overall similarity from its two parts: sqrt(intra * inter), the product and the root each
// rounded to a 64-bit significand; the result is left unrounded to double.
Extended CombineSimilarities(double intra, double inter);

// CombineSimilarities of the intra and inter similarities of a and b.
Extended OverallSimilarity(const TCustomMatrix& a, const TCustomMatrix& b);
