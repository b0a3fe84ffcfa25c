"""Categorical features: which features are categorical, and patterns with each such
feature as the 1-based position of its category in the sorted list of those seen in
training (NaN where missing), as the Octave layer's CategoricalPredictors codes them."""

import math
import numbers
import warnings

import numpy as np

from ._checks import WHO, CategoryWarning, describe


def check_categorical(value, M, names=None):
    """categorical_features as sorted 0-based indices: None (none), 'all', a boolean
    mask of M, feature indices, or feature names (with names, X's column names)."""
    if value is None:
        return []
    if isinstance(value, str) and value.lower() == "all":
        return list(range(M))
    given = np.asarray(value)
    if given.ndim == 1 and given.size == 0:
        return []
    if given.dtype.kind == "b" and given.shape == (M,):
        return np.flatnonzero(given).tolist()
    if given.ndim == 1 and given.dtype.kind in "UO" and names is not None \
            and all(isinstance(v, str) for v in given.tolist()):
        lookup = {name: j for j, name in enumerate(names)}
        unknown = [v for v in given.tolist() if v not in lookup]
        if not unknown and len(set(given.tolist())) == given.size:
            return sorted(lookup[v] for v in given.tolist())
    elif given.ndim == 1 and given.dtype.kind in "iu" and given.size == np.unique(given).size \
            and np.all((given >= 0) & (given < M)):
        return sorted(int(j) for j in given)
    raise ValueError("%s: categorical_features must be None, 'all', a boolean mask of %d, distinct feature indices "
                     "in 0..%d%s; %s given" % (WHO, M, M - 1, " or column names of X" if names is not None else "",
                                               describe(value)))


def _missing(value):
    return value is None or (isinstance(value, str) and value == "") \
        or (isinstance(value, (float, np.floating)) and math.isnan(value))


def _column(values, j):
    """(numbers, texts, missing) of one categorical column of an object array: the
    column as floats when it holds numbers, else its texts; missing: None, NaN or ''."""
    if values.dtype.kind in "biuf":
        numbers_ = values.astype(np.float64)
        missing = np.isnan(numbers_)
        return _finite(numbers_[~missing], j), None, missing
    missing = np.array([_missing(v) for v in values], dtype=bool)
    present = values[~missing]
    text = np.array([isinstance(v, str) for v in present], dtype=bool)
    if text.any() and not text.all():
        raise ValueError("%s: categorical feature %d of X mixes texts and numbers" % (WHO, j))
    if text.any():
        return None, present, missing
    try:
        numbers_ = np.array([float(v) if isinstance(v, (numbers.Real, np.bool_)) else math.nan for v in present])
    except (TypeError, ValueError):
        numbers_ = None
    if numbers_ is None or np.isnan(numbers_).any():
        raise ValueError("%s: categorical feature %d of X holds values that are neither numbers nor texts" % (WHO, j))
    return _finite(numbers_, j), None, missing


def _finite(numbers_, j):
    if np.isinf(numbers_).any():
        raise ValueError("%s: categorical feature %d of X holds infinity" % (WHO, j))
    return numbers_


def _numeric(X, features, how):
    """X's numeric features as floats; NaN passes unless how is 'error', Inf never."""
    M = X.shape[1]
    out = np.full(X.shape, np.nan)
    numeric = [j for j in range(M) if j not in features]
    if numeric:
        try:
            out[:, numeric] = X[:, numeric].astype(np.float64)
        except (TypeError, ValueError) as error:
            raise ValueError("%s: the numeric features of X must hold numbers (or give the feature in "
                             "categorical_features): %s" % (WHO, error)) from None
        values = out[:, numeric]
        if np.isinf(values).any():
            raise ValueError("%s: X holds infinity in a numeric feature" % WHO)
        if how == "error" and np.isnan(values).any():
            raise ValueError("%s: X holds NaN, and missing_values is 'error'" % WHO)
    return out


def learn_coding(X, features, how):
    """(patterns, categories): X with each categorical feature as the position of its
    category among the sorted ones seen (NaN where missing), and those lists (float
    arrays, or object arrays of str for text)."""
    out = _numeric(X, features, how)
    categories = []
    for j in features:
        numbers_, texts, missing = _column(X[:, j], j)
        seen = numbers_ if texts is None else texts
        known, position = np.unique(seen.astype(np.float64) if texts is None else seen.astype(str),
                                    return_inverse=True)
        if texts is not None:
            known = np.array(known.tolist(), dtype=object)
        out[missing, j] = np.nan
        out[~missing, j] = position + 1
        categories.append(known)
        if how == "error" and missing.any():
            raise ValueError("%s: categorical feature %d of X has %d missing values, and missing_values is 'error'"
                             % (WHO, j, missing.sum()))
    return out, categories


def category_positions(X, features, categories, how, name="X", stacklevel=4):
    """Patterns for a model: each categorical feature as the position of its category in
    the model's list, NaN where it is missing or a category that training never saw
    (counted in a CategoryWarning), numeric features as given."""
    out = _numeric(X, features, how)
    unseen = 0
    for j, known in zip(features, categories):
        numbers_, texts, missing = _column(X[:, j], j)
        model_text = known.dtype == object
        if (texts is not None) != model_text and (~missing).any():
            raise ValueError("%s: the model knows the categories of feature %d as %s, but %s gives %s"
                             % (WHO, j, "text" if model_text else "numbers", name,
                                "text" if texts is not None else "numbers"))
        position = np.full(X.shape[0], np.nan)
        if model_text:
            lookup = {value: k + 1.0 for k, value in enumerate(known.tolist())}
            found = np.array([lookup.get(v, np.nan) for v in (texts if texts is not None else [])], dtype=np.float64)
        else:
            at = np.searchsorted(known, numbers_)
            hit = at < known.size
            hit[hit] = known[at[hit]] == numbers_[hit]
            found = np.where(hit, at + 1.0, np.nan)
        position[~missing] = found
        unseen += int(np.isnan(found).sum())
        out[:, j] = position
        if how == "error" and np.isnan(position).any():
            raise ValueError("%s: categorical feature %d of %s has %d missing or unseen categories, and the model "
                             "was trained with missing_values 'error'" % (WHO, j, name, np.isnan(position).sum()))
    if unseen:
        warnings.warn("%s: %d values of %s are categories that training never saw; they count as missing values"
                      % (WHO, unseen, name), CategoryWarning, stacklevel=stacklevel)
    return out


def category_text(value):
    """A category as text: a number in the fewest digits that give it back exactly."""
    if isinstance(value, str):
        return value
    for digits in range(15, 18):
        text = "%.*g" % (digits, value)
        if float(text) == value:
            return text
    return repr(value)
