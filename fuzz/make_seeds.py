#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: fuzz/corpus/fit, eval and learn, and some of score.

Each seed is a call in the byte layout that fuzz/fuzz_call.cpp decodes:
  header   fit:  nrhs-code nlhs-code N M          eval: nrhs-code nlhs-code N M shape
           score: as eval, its count code from 112 to 223 meaning 9 inputs (with threads)
           (a count code below 224 means the usual count; 224 + c means c;
            eval shape: bits 0-6 give K (mod 17), bit 7 adds an unread odd column)
  input    form byte: below 192 the well-formed argument, else any array:
             well-formed scalar: pick (below 192: the position's usual value number pick),
                                 or 192 and a value selector
             well-formed matrix: one value selector per element, column order
             well-formed labels: orientation (odd: a row), then per label a pick
                                 (below 192: label 1 + pick % 3) or 192 and a selector
             well-formed templates: per row and feature a lower-corner selector and an extent
                                 (below 192: extent % 9 sixteenths) or 192 and an upper selector
             any array: kind, dimension count, dimensions (below 200: d % 5; 200-219 the
                        usual ones; 220-239 the usual ones swapped; 240+ an enormous one),
                        then a selector per element (and per imaginary part)
  value selector: below 160 the grid value (s % 17) / 16; 160-223 edge value s - 160;
                  224+ the next eight bytes as a double
Run it from anywhere: python3 fuzz/make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

KIND = {name: k for k, name in enumerate(
    "double complex single int8 uint8 int16 uint16 int32 uint32 int64 uint64 logical "
    "char cell struct sparse function_handle unknown".split())}
# Positions in the edge-value table.
NAN, INF, NEG_INF, NEG_ZERO = 0, 1, 2, 3
MIN_SUBNORMAL, DBL_MAX = 5, 9
INT32_MAX, INT32_MAX_HALF, TWO_31, BELOW_INT32_MIN_FITS, TWO_63 = 28, 29, 30, 32, 37
TOLERANCE_EDGE = 19  # 0.7 - 0.5e-7
HUGE_3E9, HUGE_2_31_MINUS_1, HUGE_1073741823 = 244, 242, 240

def grid(k):              # k / 16
    return k

def edge(i):
    return 160 + i

def raw(x):
    return [224] + list(struct.pack("<d", x))

def pick(i):              # a well-formed scalar, the position's value number i
    return [0, i]

def scalar_value(sel):    # a well-formed 1 x 1 scalar with a chosen value
    return [0, 192] + (sel if isinstance(sel, list) else [sel])

def matrix(selectors):
    return [0] + selectors

def labels(values, row=False):
    return [0, 1 if row else 0] + [v - 1 for v in values]

def any_array(kind, dims, selectors=(), imag=()):
    return [192, KIND[kind], len(dims)] + list(dims) + list(selectors) + list(imag)

def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))

# Training: the usual picks are D: M, vigilance: 0 .5 .75 .9 1 .7 .25 .95, alpha: .001 0 .01 1,
# learning_rate: 1 1 .5 .25 .9, cap: 8 1 2 3 4 5 6 7, trim/ct: 0 1, oflag: 0 1 2 3 4.
def fit(N, M, patterns, plabels, vigilance=pick(2), lr=pick(0), cap=pick(0), trim=pick(1), ct=pick(1),
        oflag=pick(4), nrhs=0, nlhs=0, D=pick(0), alpha=pick(0)):
    return [nrhs, nlhs, N, M] + patterns + plabels + D + vigilance + alpha + lr + cap + trim + ct + oflag

six = matrix([grid(k) for k in (2, 3, 12, 13, 4, 11, 2, 4, 12, 12, 5, 10)])
six_labels = labels([1, 1, 2, 2, 1, 2])
write("fit", "train_fast_trim_ct", fit(6, 2, six, six_labels))
write("fit", "train_slow_learning", fit(6, 2, six, labels([1, 2, 1, 2, 1, 2], row=True), lr=pick(2),
                                        vigilance=pick(5), oflag=pick(3), trim=pick(0)))
write("fit", "train_tolerance_edge", fit(6, 2, six, six_labels, vigilance=scalar_value(edge(TOLERANCE_EDGE))))
write("fit", "patterns_refused_classes", fit(2, 1, any_array("char", [1, 2], [0, 0]), labels([1, 2])))
write("fit", "patterns_nan", fit(2, 1, matrix([edge(NAN), grid(4)]), labels([1, 2])))
write("fit", "patterns_3d", fit(2, 1, any_array("double", [2, 1, 2], [grid(1)] * 4), labels([1, 2])))
write("fit", "patterns_0_by_3e9", fit(0, 0, any_array("double", [0, HUGE_3E9]), labels([])))
write("fit", "patterns_no_rows_many_columns", fit(0, 0, any_array("double", [0, HUGE_1073741823]), labels([])))
write("fit", "labels_beyond_int32", fit(2, 1, matrix([grid(1), grid(9)]), [0, 0, 0, 192, edge(TWO_31)]))
write("fit", "labels_int64", fit(2, 1, matrix([grid(1), grid(9)]), any_array("int64", [200, 201], [edge(TWO_63), 1])))
write("fit", "cap_infinite_no_outputs", fit(2, 1, matrix([grid(1), grid(9)]), labels([1, 2]),
                                            cap=scalar_value(edge(INF)), nlhs=224))
write("fit", "oflag_empty", fit(2, 1, matrix([grid(1), grid(9)]), labels([1, 2]),
                                oflag=any_array("double", [1, 0])))
write("fit", "nine_inputs", [224 + 9, 0, 1, 1, 0, grid(3), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0])
write("fit", "d_zero_subnormal_alpha", fit(6, 2, six, six_labels, D=scalar_value(grid(0)),
                                           alpha=scalar_value(edge(MIN_SUBNORMAL)), cap=pick(3)))

# Classification: usual picks D: M, vigilance as above, alpha: .001 0 .01 1, ct: 0 1,
# unknown_label: 0 -1 2.7 99, oflag: 0 1 2 3.
def templates(rows, odd_column=None):
    """rows: per template a list of (lower selector, extent byte) per feature; odd_column: the
    selector of each row's unread last value, when the templates have one."""
    data = [0]
    for row in rows:
        for lower, extent in row:
            data += [lower, extent]
        if odd_column is not None:
            data.append(odd_column)
    return data

def eval_call(N, M, K, T, nlabels, patterns, odd=False, vigilance=pick(2), ct=pick(1), unknown=pick(1),
              oflag=pick(3), nrhs=0, nlhs=0, D=pick(0), alpha=pick(0)):
    return ([nrhs, nlhs, N, M, K | (0x80 if odd else 0)] + T + nlabels + D + vigilance + alpha + ct +
            patterns + unknown + oflag)

box_rows = [[(grid(1), 2), (grid(2), 3)], [(grid(8), 4), (grid(8), 4)], [(grid(12), 0), (grid(3), 8)]]
boxes = templates(box_rows)
points = matrix([grid(k) for k in (2, 9, 15, 0, 3, 10, 4, 16)])
write("eval", "classify_ct_trace", eval_call(4, 2, 3, boxes, labels([1, 2, 3]), points))
write("eval", "classify_no_ct_vigilance_0", eval_call(4, 2, 3, boxes, labels([1, 2, 3], row=True), points,
                                                      vigilance=pick(0), ct=pick(0), oflag=pick(1)))
write("eval", "templates_odd_column", eval_call(4, 2, 3, templates(box_rows, edge(NAN)), labels([1, 2, 3]), points,
                                                odd=True))
write("eval", "templates_inf", eval_call(1, 1, 1, [0, edge(INF), 0], labels([1]), matrix([grid(3)])))
write("eval", "templates_inverted_box", eval_call(2, 1, 1, [0, grid(12), 192, grid(4)], labels([2]),
                                                  matrix([grid(8), grid(13)])))
write("eval", "patterns_nan_inf", eval_call(3, 1, 1, [0, grid(4), 4], labels([1]),
                                            matrix([edge(NAN), edge(INF), edge(NEG_ZERO)])))
write("eval", "patterns_wrong_columns", eval_call(2, 1, 1, [0, grid(4), 4], labels([1]),
                                                  any_array("double", [200, 2], [grid(1)] * 4)))
write("eval", "patterns_2_31_rows_refused", eval_call(0, 0, 0, [0], labels([]), any_array("double", [243, 0])))
write("eval", "unknown_label_2147483647_5", eval_call(1, 1, 1, [0, grid(4), 4], labels([1]), matrix([grid(15)]),
                                                     unknown=scalar_value(edge(INT32_MAX_HALF))))
write("eval", "unknown_label_fits", eval_call(1, 1, 1, [0, grid(4), 4], labels([1]), matrix([grid(15)]),
                                              unknown=scalar_value(edge(BELOW_INT32_MIN_FITS))))
write("eval", "templates_complex_single", eval_call(1, 1, 1, any_array("complex", [200, 200], [grid(2), grid(6)],
                                                                       [edge(NAN)] * 2),
                                                    labels([1]), any_array("single", [200, 200], [grid(3)])))
write("eval", "d_negative_zero", eval_call(4, 2, 3, boxes, labels([1, 2, 3]), points,
                                           D=scalar_value(edge(NEG_ZERO)), vigilance=pick(0)))
write("eval", "oflag_4_refused", eval_call(1, 1, 1, [0, grid(4), 4], labels([1]), matrix([grid(3)]),
                                           oflag=scalar_value(edge(42))))
write("eval", "no_templates", eval_call(3, 2, 0, [0], labels([]), matrix([grid(1)] * 6), oflag=pick(1)))

# The model layer's training: the training inputs as above, then match_tracking (usual picks
# 1 0), display (0 1), Templates0 (K0 rows, written as templates) and NLabels0.
def learn(N, M, K0, patterns, plabels, given, glabels, rule=pick(0), display=pick(0), nrhs=0, nlhs=0, **training):
    call = fit(N, M, patterns, plabels, nrhs=nrhs, nlhs=nlhs, **training)
    return call[:4] + [K0] + call[4:] + rule + display + given + glabels

given_rows = templates([[(grid(2), 2), (grid(3), 8)], [(grid(12), 1), (grid(10), 2)]])
write("learn", "tolerant_from_given_nodes", learn(6, 2, 2, six, six_labels, given_rows, labels([1, 2])))
write("learn", "strict_display_no_given", learn(6, 2, 0, six, labels([1, 2, 2, 1, 1, 2]), [0], labels([]),
                                                rule=pick(1), display=pick(1), oflag=pick(2)))
write("learn", "same_point_two_labels", learn(2, 1, 0, matrix([grid(8), grid(8)]), labels([1, 2]), [0], labels([]),
                                              trim=pick(0), oflag=pick(3)))
write("learn", "given_nodes_no_patterns", learn(0, 2, 2, matrix([]), labels([]), given_rows, labels([3, 1]),
                                                display=pick(1)))
write("learn", "ten_inputs", learn(6, 2, 0, six, six_labels, [], [], rule=[], display=[], nrhs=224 + 10))
write("learn", "templates_nan", learn(1, 1, 1, matrix([grid(3)]), labels([1]), [0, edge(NAN), 0], labels([1])))
write("learn", "templates_wrong_columns", learn(1, 1, 1, matrix([grid(3)]), labels([1]),
                                                any_array("double", [200, 1], [grid(3)]), labels([1])))
write("learn", "given_label_fraction", learn(1, 1, 1, matrix([grid(3)]), labels([1]), [0, grid(3), 0],
                                             [0, 0, 192] + raw(1.5)))

# Scores: the classification inputs as above, then class_count (usual picks 3 4 2 1 0 2.5 -1)
# and, with a count code from 112 to 223, threads (usual picks 2 3 0 1 24 1.5 -1).
def score_call(N, M, K, T, nlabels, patterns, classes=pick(0), nrhs=0, nlhs=0, D=pick(0), vigilance=pick(2),
               alpha=pick(0), ct=pick(1), threads=None):
    data = [nrhs, nlhs, N, M, K] + T + nlabels + D + vigilance + alpha + ct + patterns + classes
    return data + threads if threads is not None else data

# 16 patterns shared by two and by three threads, two groups and one group each.
spread = matrix([grid(k % 17) for k in range(0, 96, 3)])
write("score", "threads_two", score_call(16, 2, 3, boxes, labels([1, 2, 3]), spread, nrhs=112, threads=pick(0)))
write("score", "threads_three", score_call(16, 2, 3, boxes, labels([1, 2, 3]), spread, nrhs=112, threads=pick(1)))

# 2^31 - 1 patterns of no features by 2^31 - 1 classes: the scores' size in bytes wraps around 64 bits.
write("score", "scores_bytes_wrap", score_call(0, 0, 1, [0], labels([1]), any_array("double", [HUGE_2_31_MINUS_1, 0]),
                                               classes=scalar_value(edge(INT32_MAX)), D=pick(1)))
