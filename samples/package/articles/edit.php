<?php
// Articles: the editor for one article.
require_once '../include/templates/header.php';
$id = (int) $_GET['id'];
echo '<form method="post" action="save.php?id=' . $id . '">';
echo '<textarea name="body"></textarea><input type="submit" value="Save"></form>';
