#!/usr/bin/env bash
# Installs the package as doc/python.md says, offline, into a fresh virtual environment
# that sees Debian's NumPy and scikit-learn, from a copy of the source tree; then uses it
# from another folder inside scikit-learn's model selection tools.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=${1:-/usr/bin/python3}
. "$root/tests/skip.sh"
if ! "$python" -c "import ensurepip" > /dev/null 2>&1; then
  vorla_skip python_install "python3-venv is not installed (the package was still built and tested from build/python)"
fi
mkdir "$work/src"
tar -C "$root" --exclude='./build*' --exclude='./.git' -cf - . | tar -C "$work/src" -xf -
"$python" -m venv --system-site-packages "$work/env"
"$work/env/bin/pip" install --quiet --no-build-isolation --no-index "$work/src/python"
cd "$work"
"$work/env/bin/python" - <<'PY'
import vorla
from sklearn.datasets import load_wine
from sklearn.model_selection import GridSearchCV, cross_val_score
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import StandardScaler
assert vorla.__file__.startswith(__import__("sys").prefix), vorla.__file__
X, y = load_wine(return_X_y=True)
accuracy = cross_val_score(vorla.FuzzyARTMAPClassifier(), X, y, cv=5).mean()
grid = GridSearchCV(make_pipeline(StandardScaler(), vorla.FuzzyARTMAPClassifier(voters=3)),
                    {"fuzzyartmapclassifier__vigilance": [0.0, 0.7]}, cv=3).fit(X, y)
print("installed: 5-fold accuracy %.3f, grid best %.3f" % (accuracy, grid.best_score_))
assert accuracy > 0.9 and grid.best_score_ > 0.85
PY
