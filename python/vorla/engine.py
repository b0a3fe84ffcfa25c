"""The engine's four entry points, with the inputs and outputs of the MEX functions.

Each function takes the MEX function's inputs in its order and returns its outputs as
NumPy arrays in the same shapes (``Templates`` K x 2M, ``NLabels`` K x 1, ...). Inputs
may be NumPy arrays of any real numeric or boolean dtype, or Python numbers.

An input is read where it lies when it is in column (Fortran) order, aligned and in the
machine's byte order; any other array (a C-ordered matrix, a strided view) is first copied
into column order. A 1-D array counts as a column. Errors are those of the MEX functions:
a ``ValueError`` (``TypeError`` for a value of a kind the engine does not read) whose
message begins with the function's name in capitals. Ctrl-C raises ``KeyboardInterrupt``
within a fraction of a second, with nothing left allocated. The trace (``oflag``) and the
progress lines are written to ``sys.stdout``. The GIL is released while the engine works;
calls from several threads run at the same time, each with its own values.
"""

from . import _core


class Cell(tuple):
    """A cell array input: its elements in order, each an input of its own."""
    _vorla_cell = True


def _cell(value):
    """A list or tuple of elements as a cell; a cell or array as it is."""
    if isinstance(value, (list, tuple)) and not isinstance(value, Cell):
        return Cell(value)
    return value


def _is_batch(value):
    """A list or tuple of arrays (a nested list of numbers is a matrix)."""
    return isinstance(value, Cell) or (isinstance(value, (list, tuple)) and len(value) > 0 and
                                       all(hasattr(v, "shape") for v in value))


_TRAINING = ("Patterns", "PLabels", "D", "vigilance", "alpha", "learning_rate",
             "max_list_presentations", "trim_option", "ct_option", "oflag")
_LEARN = _TRAINING + ("match_tracking", "display", "Templates0", "NLabels0", "Orders", "threads")
_CLASSIFY = ("Templates", "NLabels", "D", "vigilance", "alpha", "ct_option", "Patterns")


def vorla_fit(Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
              trim_option, ct_option, oflag):
    """Train one network with the strict rule.

    Returns
    -------
    Templates : ndarray (K, 2M)
        Each row ``[lower upper]`` of a node's box.
    NLabels : ndarray (K, 1)
        The label of each node.
    list_presentations : ndarray (1, 1)
        The list presentations made.
    """
    args = (Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
            trim_option, ct_option, oflag)
    return _core.call("vorla_fit", 3, args, _TRAINING)


def vorla_learn(Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
                trim_option, ct_option, oflag, match_tracking=None, display=None,
                Templates0=None, NLabels0=None, Orders=None, threads=None, nargout=3):
    """Train one network under either rule, optionally from given nodes; or a batch.

    The inputs 11 to 14 go together (all given or none), and so do ``Orders`` and
    ``threads``, which need the four before them. ``nargout`` 4 adds the history, one row
    per list presentation: nodes, created, changed, seconds.

    A batch: ``Orders`` a sequence with one vector of 1-based row numbers of Patterns per
    network, the patterns it learns in that order; ``threads`` the threads that train them
    (0: every usable core). ``vigilance`` may hold one value per network, and
    ``Templates0`` and ``NLabels0`` may be sequences with one entry per network. Then
    Templates, NLabels and history are lists with one array per network, and
    list_presentations a 1 x networks array; network k gives what the call on its rows
    gives, for any number of threads.

    Returns
    -------
    Templates, NLabels, list_presentations[, history] : ndarray (lists in a batch)
    """
    args = [Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
            trim_option, ct_option, oflag]
    extra = (match_tracking, display, Templates0, NLabels0)
    batch = (Orders, threads)
    if any(value is not None for value in extra + batch):
        args += list(extra)
    if any(value is not None for value in batch):
        args[12:14] = [_cell(value) if isinstance(value, (list, tuple)) else value for value in args[12:14]]
        args += [_cell(Orders), threads]
    return _core.call("vorla_learn", nargout, args, _LEARN)


def vorla_eval(Templates, NLabels, D, vigilance, alpha, ct_option, Patterns, unknown_label, oflag):
    """Classify patterns: the label of the accepting node with the greatest choice value.

    Returns
    -------
    Predictions : ndarray (N, 1)
        ``unknown_label`` where no node accepts the pattern.
    """
    args = (Templates, NLabels, D, vigilance, alpha, ct_option, Patterns, unknown_label, oflag)
    return _core.call("vorla_eval", 1, args, _CLASSIFY + ("unknown_label", "oflag"))[0]


def vorla_score(Templates, NLabels, D, vigilance, alpha, ct_option, Patterns, class_count, threads=None):
    """Score every class for every pattern: the best choice value of its accepting nodes.

    ``threads`` (None: the input left out, one thread) shares the patterns among that
    many threads, 0 every usable core; the outputs are the same bits for any number.

    A batch: ``Templates`` and ``NLabels`` lists (or tuples) of arrays with one entry per
    network, and ``Patterns`` one such list too or one matrix for every network. Then Scores and
    Classes are lists with one array per network, each what the network's own call
    gives; the threads share out the networks.

    Returns
    -------
    Scores : ndarray (N, class_count)
        0 where no node of the class accepts the pattern (a list in a batch).
    Classes : ndarray (N, 1)
        The class ``vorla_eval`` gives (0 where no node accepts; a list in a batch).
    """
    if _is_batch(Templates):
        Templates, NLabels = _cell(Templates), _cell(NLabels)
        if _is_batch(Patterns):
            Patterns = _cell(Patterns)
    args = (Templates, NLabels, D, vigilance, alpha, ct_option, Patterns, class_count)
    if threads is not None:
        args += (threads,)
    return _core.call("vorla_score", 2, args, _CLASSIFY + ("class_count", "threads"))
